// Update.xml: saved byte for byte, read back whole.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "fake_run_context.h"
#include "log_capture.h"
#include "update/downloader.h"

namespace {

using Messages = std::vector<std::string>;

class UpdateInfoFileTest : public ::testing::Test {
 protected:
  WorkFolderWithLog work;
  FakeRunContext run;
  CDownloader agent{run};
};

TEST_F(UpdateInfoFileTest, WritesTheReplyByteForByteAndReadsItBack) {
  // A byte-order mark, CR LF, a NUL and bytes that are not UTF-8 all survive.
  std::string reply("\xEF\xBB\xBF<u>\r\n\x00\xFF\xFE</u>", 16);
  agent.updateInfoText = reply;
  std::wstring path = work / L"Update.xml";
  WriteFileBytes(path, std::string(100, 'x'));  // a longer old file is replaced
  EXPECT_EQ(agent.WriteUpdateInfoFile(path), 1);
  EXPECT_EQ(ReadFileBytes(path), reply);
  EXPECT_EQ(agent.ReadUpdateInfoFile(path), reply);
  EXPECT_TRUE(work.Messages().empty());
}

TEST_F(UpdateInfoFileTest, EmptyTextWritesNothing) {
  std::wstring path = work / L"Update.xml";
  EXPECT_EQ(agent.WriteUpdateInfoFile(path), 0);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(work.Messages(), Messages{"no update info"});
}

TEST_F(UpdateInfoFileTest, FailuresAreLoggedWithTheSystemError) {
  agent.updateInfoText = "<u/>";
  std::wstring intoMissingFolder = work / L"missing\\Update.xml";
  EXPECT_EQ(agent.WriteUpdateInfoFile(intoMissingFolder), 0);
  EXPECT_EQ(agent.ReadUpdateInfoFile(work / L"absent.xml"), "");
  std::string narrowWork(work.path().begin(), work.path().end());
  EXPECT_EQ(work.Messages(),
            (Messages{"create " + narrowWork + "missing\\Update.xml failed: 3",
                      "cannot open " + narrowWork + "absent.xml: 2"}));
}

TEST_F(UpdateInfoFileTest, AnEmptyFileReadsAsEmpty) {
  WriteFileBytes(work / L"empty.xml", "");
  EXPECT_EQ(agent.ReadUpdateInfoFile(work / L"empty.xml"), "");
}

TEST_F(UpdateInfoFileTest, AReaderMayShareTheFile) {
  std::wstring path = work / L"shared.xml";
  WriteFileBytes(path, "<u/>");
  HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(agent.ReadUpdateInfoFile(path), "<u/>");
  CloseHandle(other);
}

// The relaunched updater reads the saved reply from the work folder and
// never asks the service.
TEST_F(UpdateInfoFileTest, CheckUpdateReadsTheSavedReplyWhenGiven) {
  MakeFolders(work / L"Update\\");
  WriteFileBytes(work / L"Update\\Saved.xml",
                 "<u><updatable>false</updatable><increment><version_code>1</version_code>"
                 "</increment></u>");
  run.options[L"update_info"] = L"Saved.xml";
  run.updateInfoGiven = true;
  EXPECT_EQ(agent.CheckUpdate(), 0);
  EXPECT_TRUE(run.notes.empty());
  EXPECT_TRUE(agent.updateInfoText.empty());
  EXPECT_EQ(agent.WriteUpdateInfoFile(work / L"again.xml"), 0);
}

TEST_F(UpdateInfoFileTest, AMissingSavedReplyIsUnusable) {
  run.options[L"update_info"] = L"Nothing.xml";
  EXPECT_EQ(agent.CheckUpdate(), 4);
  EXPECT_EQ(run.notes, (Notes{{2006, 0}}));
  Messages logged = work.Messages();
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_EQ(logged[0].rfind("cannot open ", 0), 0u);
  EXPECT_EQ(logged[1], "no root element found in update info");
}

}  // namespace
