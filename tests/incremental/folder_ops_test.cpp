#include "incremental/folder_ops.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "log_lines.h"
#include "test_files.h"
#include "support/temp_folder.h"

namespace {

TEST(DeleteFolderTreeTest, MissingFolderIsNoError) {
  TempFolder temp;
  LogLines log;
  EXPECT_EQ(DeleteFolderTree(temp / L"never\\"), 0u);
  EXPECT_EQ(log.Messages(), Messages{});
}

TEST(DeleteFolderTreeTest, DeletesReadOnlyHiddenAndSystemFiles) {
  for (const wchar_t* suffix : {L"\\", L""}) {
    TempFolder temp;
    std::wstring tree = temp / L"tree\\";
    Put(tree, L"plain.txt");
    Put(tree, L"sub\\deeper\\readonly.txt");
    Put(tree, L"sub\\hidden.txt");
    SetFileAttributesW((tree + L"sub\\deeper\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((tree + L"sub\\hidden.txt").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesW((tree + L"sub").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(DeleteFolderTree(temp / (std::wstring(L"tree") + suffix)), 0u);
    EXPECT_FALSE(FolderExists(tree));
  }
}

TEST(DeleteFolderTreeTest, DotNamedEntryStopsTheDeletionThere) {
  TempFolder temp;
  std::wstring tree = temp / L"tree\\";
  Put(tree, L"keep\\.config");
  Put(tree, L"keep\\other.txt");
  Put(tree, L"top.txt");
  EXPECT_EQ(DeleteFolderTree(tree), static_cast<unsigned long>(ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(FileExists(tree + L"keep\\.config"));
  EXPECT_FALSE(FileExists(tree + L"keep\\other.txt"));
  EXPECT_TRUE(FolderExists(tree + L"keep"));
}

TEST(DeleteFolderTreeTest, RefusesAPathThatWouldNameADriveRoot) {
  for (const wchar_t* path : {L"", L"\\", L"C:", L"C:\\"}) {
    EXPECT_EQ(DeleteFolderTree(path), static_cast<unsigned long>(ERROR_INVALID_PARAMETER));
  }
}

TEST(MoveFolderContentsTest, LeavesVersionAndDotFoldersInPlace) {
  TempFolder temp;
  std::wstring install = temp / L"install\\";
  std::wstring target = install + L"1.0.0.1\\";
  Put(install, L"zemora.exe");
  Put(install, L".settings");
  Put(install, L"bin\\lib.dll");
  Put(install, L"1.0.0.1\\old.txt");      // baseVersion: the target itself
  Put(install, L"2.0.0.0\\new.txt");      // version
  Put(install, L"2.0.0.0-old\\x.txt");    // version with a suffix
  Put(install, L".git\\HEAD");
  Put(install, L"1.0.0\\short.txt");      // shorter than the version: moves
  LogLines log;
  EXPECT_TRUE(MoveFolderContents(install, target, L"2.0.0.0", L"1.0.0.1"));
  EXPECT_EQ(log.Messages(), Messages{});
  for (const wchar_t* moved : {L"zemora.exe", L".settings", L"bin\\lib.dll", L"1.0.0\\short.txt"}) {
    EXPECT_TRUE(FileExists(target + moved)) << Narrow(moved);
    EXPECT_FALSE(FileExists(install + moved)) << Narrow(moved);
  }
  for (const wchar_t* kept : {L"1.0.0.1\\old.txt", L"2.0.0.0\\new.txt", L"2.0.0.0-old\\x.txt",
                              L".git\\HEAD"}) {
    EXPECT_TRUE(FileExists(install + kept)) << Narrow(kept);
  }
}

TEST(MoveFolderContentsTest, LogsAnEntryThatCannotMoveAndGoesOn) {
  TempFolder temp;
  std::wstring source = temp / L"from\\";
  std::wstring target = temp / L"to\\";
  Put(source, L"a.txt", "new");
  Put(source, L"clash\\inner.txt");
  Put(source, L"z.txt");
  Put(target, L"a.txt", "old");
  Put(target, L"clash\\other.txt");
  LogLines log;
  EXPECT_TRUE(MoveFolderContents(source, target, L"9.9.9.9", L"8.8.8.8"));
  EXPECT_EQ(ReadFileBytes(target + L"a.txt"), "new");
  EXPECT_TRUE(FileExists(target + L"z.txt"));
  EXPECT_TRUE(FileExists(source + L"clash\\inner.txt"));
  Messages messages = log.Messages();
  ASSERT_EQ(messages.size(), 1u);
  std::string prefix = "move file clash from " + Narrow(source) + " to " + Narrow(target) + " failed: ";
  EXPECT_EQ(messages[0].rfind(prefix, 0), 0u) << messages[0];
  EXPECT_NE(messages[0], prefix + "0");
  EXPECT_TRUE(MoveFolderContents(temp / L"missing\\", target, L"9.9.9.9", L"8.8.8.8"));
}

TEST(ShellCopyTest, CopiesAFileAFolderOrAFoldersContents) {
  TempFolder temp;
  std::wstring source = temp / L"src\\";
  Put(source, L"one.txt", "1");
  Put(source, L"sub\\two.txt", "2");
  LogLines log;
  EXPECT_TRUE(ShellCopy(source + L"*", temp / L"contents\\new\\"));
  EXPECT_EQ(ReadFileBytes(temp / L"contents\\new\\one.txt"), "1");
  EXPECT_EQ(ReadFileBytes(temp / L"contents\\new\\sub\\two.txt"), "2");
  EXPECT_TRUE(ShellCopy(source + L"sub", temp / L"folder\\"));
  EXPECT_EQ(ReadFileBytes(temp / L"folder\\sub\\two.txt"), "2");
  Put(temp.path(), L"file\\one.txt", "stale");
  EXPECT_TRUE(ShellCopy(source + L"one.txt", temp / L"file\\"));
  EXPECT_EQ(ReadFileBytes(temp / L"file\\one.txt"), "1");
  EXPECT_EQ(log.Messages(), Messages{});
}

TEST(ShellCopyTest, FailuresAreLoggedWithTheOperationResult) {
  TempFolder temp;
  std::wstring longName = temp.path();
  while (longName.size() < 260) longName += L"x";
  struct Case {
    std::wstring source, target;
  } cases[] = {{temp / L"absent", temp / L"to\\"},
               {longName, temp / L"to\\"},
               {temp / L"absent", longName + L"\\"}};
  for (const Case& c : cases) {
    LogLines log;
    EXPECT_FALSE(ShellCopy(c.source, c.target));
    Messages messages = log.Messages();
    ASSERT_EQ(messages.size(), 1u);
    std::string prefix = "copy " + Narrow(c.source) + " to " + Narrow(c.target) + " failed: ";
    EXPECT_EQ(messages[0].rfind(prefix, 0), 0u) << messages[0];
    EXPECT_NE(messages[0], prefix + "0") << "a failure carries a non-zero result";
  }
}

TEST(MovePatchedFilesTest, MovesTheStagingContentsAndRemovesIt) {
  struct Case {
    bool newFolderExists;
    Messages messages;
  } cases[] = {{false, {}}, {true, {"create directory failed: 183"}}};
  for (const Case& c : cases) {
    TempFolder temp;
    std::wstring staging = temp / L"work\\2.0.0.0\\";
    std::wstring newFolder = temp / L"install\\2.0.0.0\\";
    Put(staging, L"zemora.exe", "new");
    Put(staging, L"lib\\a.dll", "new");
    MakeFolders(temp / L"install\\");
    if (c.newFolderExists) {
      Put(newFolder, L"zemora.exe", "left over");
      Put(newFolder, L"stray.txt");
    }
    LogLines log;
    EXPECT_TRUE(MovePatchedFiles(staging, newFolder));
    EXPECT_EQ(log.Messages(), c.messages);
    EXPECT_EQ(ReadFileBytes(newFolder + L"zemora.exe"), "new");
    EXPECT_EQ(ReadFileBytes(newFolder + L"lib\\a.dll"), "new");
    EXPECT_FALSE(FolderExists(staging));
  }
}

TEST(MovePatchedFilesTest, TooLongAPathFailsTheMove) {
  TempFolder temp;
  std::wstring staging = temp.path();
  while (staging.size() < 259) staging += L"s";
  staging += L"\\";
  LogLines log;
  EXPECT_FALSE(MovePatchedFiles(staging, temp / L"new\\"));
  Messages messages = log.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "move patched files failed: 206");
}

}  // namespace
