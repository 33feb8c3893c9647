// The HTTP GET, the background downloader and the whole check against a
// loopback server in this process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_run_context.h"
#include "log_capture.h"
#include "loopback_server.h"
#include "shared/global_api.h"
#include "update/downloader.h"

namespace {

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 12345;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring Md5Of(const std::string& bytes) {
  TempFolder temp;
  WriteFileBytes(temp / L"f", bytes);
  return CMD5Checksum::GetMD5(temp / L"f");
}

class PumpRecorder : public IMsgPumpReciever {
 public:
  void OnPumpMessage(const PumpMessage* message) override { messages.push_back(*message); }

  // Serves the pump until `ends` end messages have come (or a minute has
  // passed), then a little longer so that a surplus one would show.
  void WaitForEnds(size_t ends = 1) {
    DWORD start = GetTickCount();
    while (EndCodes().size() < ends && GetTickCount() - start < 60000) {
      Sleep(10);
      MsgPumpManager::Instance().DoProccess();
    }
    for (int i = 0; i < 20; ++i) {
      Sleep(10);
      MsgPumpManager::Instance().DoProccess();
    }
  }
  std::vector<int32_t> EndCodes() const {
    std::vector<int32_t> ends;
    for (const PumpMessage& m : messages) {
      if (m.code != 6) ends.push_back(m.code);
    }
    return ends;
  }

  std::vector<PumpMessage> messages;
};

TEST(HttpGetTest, AnswersTheBodyOfA2xxReplyAndFailsOtherwise) {
  LoopbackServer server;
  ASSERT_TRUE(server.ok());
  std::string big = Pattern(300000);
  server.Route("/ok", {200, "<update/>"});
  server.Route("/big", {200, big});
  server.Route("/error", {500, "broken"});
  server.Route("/cut", LoopbackRoute{200, big, 1000});
  struct {
    std::wstring url;
    bool succeeds;
    int status;
    std::string body;
  } cases[] = {
      {server.Url("/ok?a=1&b="), true, 200, "<update/>"},
      {server.Url("/big"), true, 200, big},
      {server.Url("/error"), false, 500, ""},
      {server.Url("/missing"), false, 404, ""},
      {server.Url("/cut"), false, 200, ""},
      {L"http://127.0.0.1:" + std::to_wstring(ClosedLoopbackPort()) + L"/ok", false, 0, ""},
      {L"", false, 0, ""},
      {L"not a url", false, 0, ""},
      {L"ftp://127.0.0.1/ok", false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.url));
    std::string body = "stale";
    int status = -1;
    std::string headers;
    int result = ZemoraHttpUtils::Get(c.url, body, &status, &headers, 3, nullptr);
    EXPECT_EQ(result == 0, c.succeeds) << result;
    EXPECT_EQ(status, c.status);
    if (c.succeeds) {
      EXPECT_EQ(body, c.body);
      EXPECT_NE(headers.find("Content-Length:"), std::string::npos);
    }
  }
  EXPECT_EQ(server.Requests().front(), "/ok?a=1&b=");
}

class DownloaderTest : public ::testing::Test {
 protected:
  DownloaderTest() {
    downloader.AddObserver(&recorder);
    target = temp / L"pkg.bin";
  }
  void Fetch(const std::wstring& url) {
    downloader.SetDownloadInfo(url, target, eDownloadData_Package);
    downloader.Start(1, 0, 0);
  }

  TempFolder temp;
  LoopbackServer server;
  OstrelDownloader downloader{true};
  PumpRecorder recorder;
  std::wstring target;
};

TEST_F(DownloaderTest, ACompleteTransferIsRenamedIntoPlaceWithProgress) {
  std::string body = Pattern(3 * 1024 * 1024 + 7);
  server.Route("/pkg.bin", LoopbackRoute{200, body});
  Fetch(server.Url("/pkg.bin?x=1/2"));
  recorder.WaitForEnds();
  EXPECT_EQ(recorder.EndCodes(), std::vector<int32_t>{9});
  EXPECT_EQ(ReadFileBytes(target), body);
  EXPECT_FALSE(FileExists(target + L".tdl"));
  EXPECT_EQ(server.Requests(), std::vector<std::string>{"/pkg.bin?x=1/2"});

  std::vector<PumpMessage> progress;
  for (const PumpMessage& m : recorder.messages) {
    if (m.code == 6) progress.push_back(m);
  }
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back().total, body.size());
  EXPECT_EQ(progress.back().done, body.size());
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_LE(progress[i - 1].done, progress[i].done);
  EXPECT_EQ(recorder.messages.back().code, 9);  // nothing after the end
}

TEST_F(DownloaderTest, EveryFailureEndsWithExactlyOneFailedMessage) {
  ScopedEnvironment stall(L"ZEMORA_DOWNLOAD_STALL_SECONDS", L"1");
  std::string body = Pattern(2 * 1024 * 1024);
  server.Route("/missing", {404, "gone"});
  server.Route("/error", {500, "broken"});
  server.Route("/cut", LoopbackRoute{200, body, body.size() / 2});
  LoopbackRoute stalled{200, body};
  stalled.pauseAfter = 100000;
  stalled.pauseMs = 10000;  // far past the stall limit
  server.Route("/stalled", stalled);
  std::wstring closed = L"http://127.0.0.1:" + std::to_wstring(ClosedLoopbackPort()) + L"/x";
  for (const std::wstring& url :
       {server.Url("/missing"), server.Url("/error"), server.Url("/cut"), server.Url("/stalled"),
        closed, std::wstring(), std::wstring(L"::not a url"), std::wstring(L"file:///c:/x")}) {
    SCOPED_TRACE(Narrow(url));
    recorder.messages.clear();
    WriteFileBytes(target, "old");
    Fetch(url);
    recorder.WaitForEnds();
    EXPECT_EQ(recorder.EndCodes(), std::vector<int32_t>{10});
    EXPECT_EQ(ReadFileBytes(target), "old");  // the target is never half replaced
    EXPECT_FALSE(FileExists(target + L".tdl"));
  }
}

TEST_F(DownloaderTest, AStartWithoutTargetFails) {
  server.Route("/pkg.bin", {200, "x"});
  downloader.SetDownloadInfo(server.Url("/pkg.bin"), L"", eDownloadData_Package);
  downloader.Start(1, 0, 0);
  recorder.WaitForEnds();
  EXPECT_EQ(recorder.EndCodes(), std::vector<int32_t>{10});
}

TEST_F(DownloaderTest, CancelEndsARunningTransferWithCancelled) {
  LoopbackRoute slow{200, Pattern(4 * 1024 * 1024)};
  slow.chunk = 32 * 1024;
  slow.delayPerChunkMs = 20;
  server.Route("/slow", slow);
  Fetch(server.Url("/slow"));
  DWORD start = GetTickCount();
  while (recorder.messages.size() < 2 && GetTickCount() - start < 30000) {
    Sleep(10);
    MsgPumpManager::Instance().DoProccess();
  }
  downloader.Cancel();
  recorder.WaitForEnds();
  EXPECT_EQ(recorder.EndCodes(), std::vector<int32_t>{11});
  EXPECT_FALSE(FileExists(target));
  EXPECT_FALSE(FileExists(target + L".tdl"));
}

TEST_F(DownloaderTest, AStartWhileRunningIsRefusedWithItsOwnEnd) {
  LoopbackRoute slow{200, Pattern(256 * 1024)};
  slow.chunk = 32 * 1024;
  slow.delayPerChunkMs = 50;
  server.Route("/slow", slow);
  std::string body = slow.body;
  Fetch(server.Url("/slow"));
  Fetch(server.Url("/slow"));
  recorder.WaitForEnds(2);
  EXPECT_EQ(recorder.EndCodes(), (std::vector<int32_t>{10, 9}));
  EXPECT_EQ(ReadFileBytes(target), body);
  // Once ended, the same downloader starts again.
  recorder.messages.clear();
  Fetch(server.Url("/slow"));
  recorder.WaitForEnds();
  EXPECT_EQ(recorder.EndCodes(), std::vector<int32_t>{9});
}

class CheckUpdateTest : public ::testing::Test {
 protected:
  CheckUpdateTest() : service(L"ZEMORA_UPDATE_SERVICE", server.Base()) {
    run.options[L"channel"] = L"abc";
    run.updatePath = work / L"installed\\";
    MakeFolders(run.updatePath);
  }
  void Offer(const std::string& reply) { server.Route("/v2/update/ostrel", {200, reply}); }
  std::string FullReply(const std::string& url, const std::wstring& md5) {
    return "<update><updatable>true</updatable><url>" + url + "</url><md5>" + Narrow(md5) +
           "</md5><version_code>200</version_code></update>";
  }
  std::string Query(const std::string& channel) {
    return "/v2/update/ostrel?versionCode=186&versionName=general&channel=" + channel;
  }

  WorkFolderWithLog work;
  LoopbackServer server;
  ScopedEnvironment service;
  FakeRunContext run;
};

TEST_F(CheckUpdateTest, AFullPackageIsFetchedWithProgressAndVerified) {
  std::string body = Pattern(2 * 1024 * 1024 + 3);
  server.Route("/files/pkg.exe", {200, body});
  std::string url = Narrow(server.Url("/files/pkg.exe?t=a/b"));
  Offer(FullReply(url, Md5Of(body)));
  CDownloader agent(run);
  EXPECT_EQ(agent.CheckUpdate(), 0);
  EXPECT_EQ(agent.appFile, work / L"Update\\pkg.exe");
  EXPECT_EQ(ReadFileBytes(agent.appFile), body);
  EXPECT_EQ(agent.useFullPackage, 1);
  EXPECT_EQ(agent.versionCode, 200);
  EXPECT_EQ(server.Requests(), (std::vector<std::string>{Query("abc"), "/files/pkg.exe?t=a/b"}));

  ASSERT_GE(run.notes.size(), 4u);
  EXPECT_EQ(run.notes.front(), (std::pair<int32_t, int32_t>{2003, 0}));
  EXPECT_EQ(run.notes[1], (std::pair<int32_t, int32_t>{2009, 0}));
  EXPECT_EQ(run.notes[run.notes.size() - 2], (std::pair<int32_t, int32_t>{2009, 100}));
  EXPECT_EQ(run.notes.back(), (std::pair<int32_t, int32_t>{2010, 1}));
  for (size_t i = 2; i + 1 < run.notes.size(); ++i) {
    EXPECT_EQ(run.notes[i].first, 2009);
    EXPECT_LE(run.notes[i - 1].second, run.notes[i].second);
  }
  EXPECT_EQ(agent.updateInfoText, FullReply(url, Md5Of(body)));
}

TEST_F(CheckUpdateTest, QueryFailuresAndUnusableReplies) {
  struct {
    const char* name;
    LoopbackRoute reply;
    int result;
  } cases[] = {
      {"server error", {500, "<update/>"}, 3},
      {"not found", {404, ""}, 3},
      {"reply cut short", LoopbackRoute{200, "<update><updatable>false</updatable></update>", 5}, 3},
      {"no root element", {200, "garbage"}, 4},
      {"updatable without url", {200, "<u><updatable>true</updatable></u>"}, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server.Route("/v2/update/ostrel", c.reply);
    run.notes.clear();
    CDownloader agent(run);
    EXPECT_EQ(agent.CheckUpdate(), c.result);
    EXPECT_EQ(run.notes, (Notes{{2003, 0}, {2006, 0}}));
  }
  ScopedEnvironment nowhere(L"ZEMORA_UPDATE_SERVICE",
                            L"http://127.0.0.1:" + std::to_wstring(ClosedLoopbackPort()));
  run.notes.clear();
  CDownloader agent(run);
  EXPECT_EQ(agent.CheckUpdate(), 3);
  EXPECT_EQ(run.notes, (Notes{{2003, 0}, {2006, 0}}));
}

TEST_F(CheckUpdateTest, WithoutAChannelTheQueryEndsWithAnEmptyOne) {
  run.options.erase(L"channel");
  Offer("<update><updatable>false</updatable></update>");
  CDownloader agent(run);
  EXPECT_EQ(agent.CheckUpdate(), 0);
  EXPECT_EQ(server.Requests(), std::vector<std::string>{Query("")});
  EXPECT_EQ(run.notes, (Notes{{2003, 0}}));
}

TEST_F(CheckUpdateTest, AWrongMd5OrACutTransferFailsTheDownload) {
  std::string body = Pattern(1024 * 1024);
  server.Route("/files/good.exe", {200, body});
  server.Route("/files/cut.exe", LoopbackRoute{200, body, body.size() / 2});
  struct {
    const char* path;
    std::wstring md5;
    bool fileLeft;
  } cases[] = {{"/files/good.exe", L"0123456789abcdef0123456789abcdef", true},
               {"/files/cut.exe", Md5Of(body), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::wstring url = server.Url(c.path);
    Offer(FullReply(Narrow(url), c.md5));
    run.notes.clear();
    CDownloader agent(run);
    EXPECT_EQ(agent.CheckUpdate(), 6);
    EXPECT_EQ(run.notes.back(), (std::pair<int32_t, int32_t>{2010, 0}));
    EXPECT_EQ(agent.appFile, L"");
    std::wstring name = CDownloader::GetFileNameFromUrl(url);
    EXPECT_EQ(FileExists(work / (L"Update\\" + name)), c.fileLeft);
  }
}

TEST_F(CheckUpdateTest, MatchingInstalledFilesFetchTheIncrement) {
  WriteFileBytes(run.updatePath + L"a.dll", "installed");
  std::wstring installedMd5 = CMD5Checksum::GetMD5(run.updatePath + L"a.dll");
  std::string increment = Pattern(5000);
  server.Route("/inc.bin", {200, increment});
  std::wstring incUrl = server.Url("/inc.bin");
  std::wstring incMd5 = Md5Of(increment);
  Offer("<update><increment><version_code>190</version_code><url>" + Narrow(incUrl) +
        "</url><md5>" + Narrow(incMd5) + "</md5><checksum><f path=\"a.dll\" checksum=\"" +
        Narrow(installedMd5) + "\"/></checksum></increment></update>");
  CDownloader agent(run);
  EXPECT_EQ(agent.CheckUpdate(), 0);
  EXPECT_EQ(agent.useFullPackage, 0);
  EXPECT_EQ(agent.appFile, work / L"Update\\inc.bin");
  EXPECT_EQ(ReadFileBytes(agent.appFile), increment);
}

}  // namespace
