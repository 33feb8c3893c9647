// Choosing, naming and verifying the package, and following the
// downloader's messages. These cases need no network.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "fake_run_context.h"
#include "log_capture.h"
#include "update/downloader.h"

namespace {

using Messages = std::vector<std::string>;

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

TEST(GetFileNameFromUrlTest, CutsTheQueryThenTakesWhatFollowsTheLastSlash) {
  struct {
    const wchar_t* url;
    const wchar_t* name;
  } cases[] = {
      {L"http://h/files/pkg.exe?x=1", L"pkg.exe"},
      {L"http://h/x/pkg.zip?a=1/2", L"pkg.zip"},
      {L"http://h/a/b/c.bin", L"c.bin"},
      {L"pkg.bin", L"pkg.bin"},
      {L"", L""},
      {L"http://h/dir/", L""},
      {L"?only=query", L""},
      {L"http://h/p.bin?a?b", L"p.bin"},
      // A backslash would lead out of the download folder.
      {L"http://h/..\\..\\evil.exe", L"evil.exe"},
      {L"http://h/a%2F..%2Fb.exe", L"a%2F..%2Fb.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(CDownloader::GetFileNameFromUrl(c.url), c.name) << c.url;
}

class PackageDownloadTest : public ::testing::Test {
 protected:
  PackageDownloadTest() {
    run.updatePath = work / L"installed\\";
    MakeFolders(run.updatePath);
    MakeFolders(work / L"Update\\");
  }

  // A file in the download folder and its MD5.
  std::wstring PlacePackage(const std::wstring& name, const std::string& bytes) {
    std::wstring path = work / (L"Update\\" + name);
    WriteFileBytes(path, bytes);
    return CMD5Checksum::GetMD5(path);
  }
  std::wstring PlaceInstalled(const std::wstring& name, const std::string& bytes) {
    WriteFileBytes(run.updatePath + name, bytes);
    return CMD5Checksum::GetMD5(run.updatePath + name);
  }

  WorkFolderWithLog work;
  FakeRunContext run;
  CDownloader agent{run};
};

TEST_F(PackageDownloadTest, ProgressIsAWholePercentageOfAnyTotal) {
  struct {
    PumpMessage message;
    Notes notes;
  } cases[] = {
      {{6, 0, 0}, {}},
      {{6, 0, 5}, {}},
      {{6, 300, 0}, {{2009, 0}}},
      {{6, 300, 100}, {{2009, 33}}},
      {{6, 300, 299}, {{2009, 99}}},
      {{6, 300, 300}, {{2009, 100}}},
      {{6, 4000000000u, 4000000000u}, {{2009, 100}}},  // done x 100 exceeds 32 bits
      {{6, 4000000000u, 1333333334u}, {{2009, 33}}},
      {{6, 10, 4000000000u}, {{2009, 100}}},  // never more than all
      {{7, 10, 5}, {}},
      {{8, 10, 5}, {}},
      {{12, 10, 5}, {}},
  };
  for (const auto& c : cases) {
    run.notes.clear();
    agent.OnPumpMessage(&c.message);
    EXPECT_EQ(run.notes, c.notes) << c.message.code << " " << c.message.total << " "
                                  << c.message.done;
    EXPECT_EQ(WaitForSingleObject(agent.doneEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  }
}

TEST_F(PackageDownloadTest, EachEndCodeEndsTheWaitOnce) {
  for (int32_t code : {9, 10, 11}) {
    PumpMessage message{code, 0, 0};
    agent.OnPumpMessage(&message);
    EXPECT_EQ(WaitForSingleObject(agent.doneEvent.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(agent.doneEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  }
  EXPECT_TRUE(run.notes.empty());
}

TEST_F(PackageDownloadTest, APresentPackageWithAnUpperCaseMd5IsNotFetched) {
  std::wstring md5 = PlacePackage(L"pkg.exe", "full installer");
  agent.useFullPackage = 1;
  agent.appFull = {L"http://127.0.0.1:9/files/pkg.exe?t=1", Upper(md5)};
  EXPECT_EQ(agent.Download(), 1);
  EXPECT_EQ(agent.appFile, work / L"Update\\pkg.exe");
  EXPECT_TRUE(run.notes.empty());  // no 2009
}

TEST_F(PackageDownloadTest, MatchingInstalledFilesChooseTheIncrement) {
  agent.checksums = {{L"a.dll", Upper(PlaceInstalled(L"a.dll", "a"))},
                     {L"b.exe", PlaceInstalled(L"b.exe", "b")}};
  agent.appIncremental = {L"http://h/inc.bin", PlacePackage(L"inc.bin", "increment")};
  agent.appFull = {L"http://h/full.exe", PlacePackage(L"full.exe", "full")};
  EXPECT_EQ(agent.MatchLocalChecksums(), 1);
  EXPECT_EQ(agent.Download(), 1);
  EXPECT_EQ(agent.appFile, work / L"Update\\inc.bin");
  EXPECT_EQ(agent.useFullPackage, 0);
  EXPECT_TRUE(work.Messages().empty());
}

TEST_F(PackageDownloadTest, AMissingOrChangedInstalledFileFallsBackToTheFullPackage) {
  struct {
    const char* name;
    bool createSecond;
    std::string secondBytes;
  } cases[] = {{"missing", false, ""}, {"changed", true, "other bytes"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    work.ClearMessages();
    CDownloader fresh(run);
    fresh.checksums = {{L"a.dll", PlaceInstalled(L"a.dll", "a")},
                       {L"sub\\b.dll", L"00000000000000000000000000000000"},
                       {L"c.dll", L"never compared"}};
    DeleteFileW((run.updatePath + L"sub\\b.dll").c_str());
    if (c.createSecond) {
      MakeFolders(run.updatePath + L"sub\\");
      PlaceInstalled(L"sub\\b.dll", c.secondBytes);
    }
    fresh.appIncremental = {L"http://h/inc.bin", L"0"};
    fresh.appFull = {L"http://h/full.exe", PlacePackage(L"full.exe", "full")};
    EXPECT_EQ(fresh.Download(), 1);
    EXPECT_EQ(fresh.useFullPackage, 1);
    EXPECT_EQ(fresh.appFile, work / L"Update\\full.exe");
    EXPECT_EQ(work.Messages(), Messages{"md5 of file sub\\b.dll not match"});
  }
}

TEST_F(PackageDownloadTest, WithTheFullPackageChosenInstalledFilesAreNotCompared) {
  agent.useFullPackage = 1;
  agent.checksums = {{L"absent.dll", L"1"}};
  agent.appFull = {L"http://h/full.exe", PlacePackage(L"full.exe", "full")};
  EXPECT_EQ(agent.Download(), 1);
  EXPECT_TRUE(work.Messages().empty());
}

TEST_F(PackageDownloadTest, AnEmptyChecksumListMatches) {
  EXPECT_EQ(agent.MatchLocalChecksums(), 1);
}

TEST_F(PackageDownloadTest, AFolderOrUnreadableFileNeverMatches) {
  // The fall-back to a full part the reply left empty targets the folder
  // itself; the downloader refuses the empty URL and the wait still ends.
  agent.useFullPackage = 1;
  agent.appFull = {L"", L""};
  EXPECT_EQ(agent.Download(), 0);
  EXPECT_EQ(run.notes, (Notes{{2009, 0}}));
  EXPECT_EQ(agent.appFile, L"");

  CDownloader fresh(run);
  fresh.checksums = {{L"", CMD5Checksum::GetMD5(run.updatePath)}};
  EXPECT_EQ(fresh.MatchLocalChecksums(), 0);
}

TEST_F(PackageDownloadTest, AStalePackageIsRemovedBeforeTheDownload) {
  PlacePackage(L"pkg.exe", "old bytes");
  PlacePackage(L"pkg.exe.tdl", "half");
  agent.useFullPackage = 1;
  agent.appFull = {L"http://127.0.0.1:1/pkg.exe", L"0123456789abcdef0123456789abcdef"};
  EXPECT_EQ(agent.Download(), 0);
  EXPECT_FALSE(FileExists(work / L"Update\\pkg.exe"));
  EXPECT_FALSE(FileExists(work / L"Update\\pkg.exe.tdl"));
  EXPECT_EQ(run.notes, (Notes{{2009, 0}}));
}

TEST_F(PackageDownloadTest, TheDownloadFolderIsCreated) {
  RemoveTree(work / L"Update\\");
  agent.useFullPackage = 1;
  agent.appFull = {L"http://127.0.0.1:1/pkg.exe", L"0"};
  agent.Download();
  EXPECT_TRUE(FolderExists(work / L"Update\\"));
}

}  // namespace
