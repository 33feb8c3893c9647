#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "incremental/patch_tool.h"
#include "incremental/updater_folder.h"
#include "log_lines.h"
#include "test_files.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace {

void PutPatchTool(const std::wstring& folder) {
  MakeFolders(folder);
  CopyFileW((ProgramFolder() + L"fake_patch.exe").c_str(), (folder + L"patch.exe").c_str(), FALSE);
}

class RuntimeCopiesTest : public ::testing::Test {
 protected:
  RuntimeCopiesTest() : base(temp / L"base\\"), work(temp / L"work\\"), source(work + L"app\\") {
    MakeFolders(base);
    MakeFolders(source);
  }
  TempFolder temp;
  std::wstring base, work, source;
};

TEST_F(RuntimeCopiesTest, FindPatchToolPrefersTheBaseFolder) {
  struct Case {
    bool inBase, inSource;
    bool foundInBase;
  } cases[] = {{true, true, true}, {true, false, true}, {false, true, false}};
  for (const Case& c : cases) {
    RemoveTree(base + L"patch.exe");
    RemoveTree(source + L"patch.exe");
    if (c.inBase) PutPatchTool(base);
    if (c.inSource) PutPatchTool(source);
    LogLines log;
    EXPECT_EQ(FindPatchTool(base, source), (c.foundInBase ? base : source) + L"patch.exe");
    EXPECT_EQ(log.Messages(), Messages{});
  }
}

TEST_F(RuntimeCopiesTest, FindPatchToolFindingNothing) {
  LogLines log;
  EXPECT_EQ(FindPatchTool(base, source), L"");
  EXPECT_EQ(log.Messages(), Messages{"cannot find patch.exe"});
}

TEST_F(RuntimeCopiesTest, PreparePatchToolCopiesOnlyWhatTheToolsFolderLacks) {
  Put(base, L"zlib1.dll", "zlib");
  Put(base, L"Microsoft.VC90.CRT\\msvcr90.dll", "crt");
  PutPatchTool(source);
  LogLines log;
  EXPECT_EQ(PreparePatchTool(source + L"patch.exe", base), PatchToolPrepared::Ready);
  EXPECT_EQ(ReadFileBytes(source + L"zlib1.dll"), "zlib");
  EXPECT_EQ(ReadFileBytes(source + L"Microsoft.VC90.CRT\\msvcr90.dll"), "crt");

  // The base's own tool already has both: nothing is copied, nothing fails.
  PutPatchTool(base);
  EXPECT_EQ(PreparePatchTool(base + L"patch.exe", base), PatchToolPrepared::Ready);
  Put(source, L"zlib1.dll", "own");
  EXPECT_EQ(PreparePatchTool(source + L"patch.exe", base), PatchToolPrepared::Ready);
  EXPECT_EQ(ReadFileBytes(source + L"zlib1.dll"), "own");
  EXPECT_EQ(log.Messages(), Messages{});
}

TEST_F(RuntimeCopiesTest, PreparePatchToolFailures) {
  PutPatchTool(source);
  {
    LogLines log;
    EXPECT_EQ(PreparePatchTool(source + L"patch.exe", base), PatchToolPrepared::ZlibCopyFailed);
    EXPECT_EQ(log.Messages(), Messages{"cannot copy zlib1.dll"});
  }
  Put(base, L"zlib1.dll");
  LogLines log;
  EXPECT_EQ(PreparePatchTool(source + L"patch.exe", base), PatchToolPrepared::RuntimeCopyFailed);
  Messages messages = log.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].rfind("copy " + Narrow(base) + "Microsoft.VC90.CRT to " + Narrow(source) +
                                  " failed: ",
                              0),
            0u)
      << messages[0];
  EXPECT_EQ(messages[1], "copy vccrt dir for patch.exe failed");
}

// A base folder with the tool and every runtime file; the new updater is a
// patch of the old one.
class UpdaterFolderTest : public RuntimeCopiesTest {
 protected:
  UpdaterFolderTest() {
    PutPatchTool(base);
    Put(base, L"Update.exe", "ab");
    Put(source, L"Update.exe.patch", "c");
    Put(base, L"global.dll", "old global");
    Put(base, L"zlib1.dll", "zlib");
    Put(base, L"Microsoft.VC90.CRT\\msvcr90.dll", "crt");
    Put(base, L"Downloader\\dl.dll", "dl");
    FileOp updater;
    updater.path = L"update.EXE";
    updater.type = FileOpType::Update;
    updater.newChecksum = L"900150983cd24fb0d6963f7d28e17f72";
    FileOp other;
    other.path = L"zemora.exe";
    other.type = FileOpType::New;
    ops = {other, updater};
  }
  std::vector<FileOp> ops;
};

TEST_F(UpdaterFolderTest, PlacesTheNewUpdaterAndTheOldGlobalDll) {
  LogLines log;
  EXPECT_TRUE(PrepareUpdaterFolder(ops, base, work, source));
  EXPECT_EQ(ReadFileBytes(work + L"update.EXE"), "abc");
  EXPECT_EQ(ReadFileBytes(work + L"global.dll"), "old global");
  EXPECT_EQ(ReadFileBytes(work + L"zlib1.dll"), "zlib");
  EXPECT_EQ(ReadFileBytes(work + L"Microsoft.VC90.CRT\\msvcr90.dll"), "crt");
  EXPECT_EQ(ReadFileBytes(work + L"Downloader\\dl.dll"), "dl");
  EXPECT_FALSE(FileExists(work + L"zemora.exe")) << "only the updater's operations run";
  EXPECT_EQ(log.Messages(), (Messages{"patch.exe exit with code: 0",
                                      "cannot find dependent global.dll, use old one"}));
}

TEST_F(UpdaterFolderTest, AppliesTheGlobalDllOperationWhenThereIsOne) {
  FileOp library;
  library.path = L"GLOBAL.dll";
  library.type = FileOpType::New;
  ops.push_back(library);
  Put(source, L"GLOBAL.dll", "new global");
  LogLines log;
  EXPECT_TRUE(PrepareUpdaterFolder(ops, base, work, source));
  EXPECT_EQ(ReadFileBytes(work + L"global.dll"), "new global");
  EXPECT_EQ(log.Messages(), Messages{"patch.exe exit with code: 0"});
}

TEST_F(UpdaterFolderTest, EachMissingPieceFailsWithItsLine) {
  struct Case {
    const wchar_t* removed;  // from the base folder
    std::string message;     // the last line logged
  } cases[] = {
      {L"patch.exe", "cannot find patch.exe"},
      {L"Update.exe", "apply patch for update.EXE failed"},
      {L"global.dll", "copy global.dll to the dir where update.exe is failed: 2"},
      {L"Microsoft.VC90.CRT", "copy vccrt files failed"},
      {L"zlib1.dll", "copy zlib1.dll to the dir where update.exe is failed: 2"},
      {L"Downloader", "copy Downloader files failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::wstring removed = temp / L"removed";
    MoveFileW((base + c.removed).c_str(), removed.c_str());
    LogLines log;
    EXPECT_FALSE(PrepareUpdaterFolder(ops, base, work, source));
    Messages messages = log.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), c.message);
    MoveFileW(removed.c_str(), (base + c.removed).c_str());
    RemoveTree(work + L"Update.exe");
  }
}

}  // namespace
