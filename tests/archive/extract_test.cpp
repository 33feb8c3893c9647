#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>

#include "archive_test_support.h"
#include "support/temp_folder.h"

namespace {

using Tree = std::map<std::wstring, std::string>;

const size_t kSignatureSearch = 4194304;

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

TEST(ExtractTest, EveryMethodGivesTheInputTree) {
  const Tree expected = ReadTree(FixturePath(L"tree"));
  ASSERT_TRUE(expected.count(L"empty.txt"));
  ASSERT_TRUE(expected.count(L"empty_folder\\"));
  ASSERT_TRUE(expected.count(L"config\\\u00fcn\u00efcode-\u540d.txt"));
  for (const wchar_t* method : {L"lzma_bcj2", L"lzma2", L"copy", L"bcj_lzma", L"delta_lzma"}) {
    SCOPED_TRACE(method);
    TempFolder temp;
    EXPECT_EQ(Extract(ReadFixture(std::wstring(method) + L".7z"), temp / L"out"), S_OK);
    EXPECT_EQ(ReadTree(temp / L"out"), expected);
  }
}

TEST(ExtractTest, DestinationMayEndWithEitherSeparatorOrNone) {
  const Tree expected = {{L"good.txt", "good"}, {L"d\\", ""}, {L"d\\inside.txt", "inside"}};
  for (const wchar_t* spelling : {L"W", L"W\\", L"W/", L"new\\deeper\\W"}) {
    SCOPED_TRACE(spelling);
    TempFolder temp;
    EXPECT_EQ(Extract(ReadFixture(L"crafted_plain.7z"), temp / spelling), S_OK);
    EXPECT_EQ(ReadTree(temp / spelling), expected);
  }
}

TEST(ExtractTest, SignatureIsFoundUpTo4MiBIntoTheBlock) {
  const std::string archive = ReadFixture(L"crafted_plain.7z");
  for (size_t junk : {size_t{1}, kSignatureSearch - 1, kSignatureSearch}) {
    SCOPED_TRACE(junk);
    TempFolder temp;
    EXPECT_EQ(Extract(RandomBytes(junk, 1) + archive, temp / L"out"), S_OK);
    EXPECT_EQ(ReadTree(temp / L"out").at(L"good.txt"), "good");
  }
  TempFolder temp;
  EXPECT_EQ(Extract(RandomBytes(kSignatureSearch + 1, 1) + archive, temp / L"out"), S_FALSE);
  EXPECT_FALSE(FolderExists(temp / L"out"));
}

TEST(ExtractTest, WhatIsNoArchiveWritesNothing) {
  const std::string archive = ReadFixture(L"lzma2.7z");
  struct Case {
    const char* name;
    std::string block;
    bool exactlyOne;  // the library's "not an archive"
  };
  // A shorter block makes the signature search read up to its end, which the
  // input stream answers with E_FAIL rather than "not an archive".
  const Case cases[] = {
      {"random bytes past the search limit", RandomBytes(5 << 20, 2), true},
      {"few random bytes", RandomBytes(65536, 2), false},
      {"empty block", "", false},
      {"signature alone", archive.substr(0, 6), false},
      {"start header only", archive.substr(0, 32), false},
      {"header cut short", archive.substr(0, archive.size() - 20), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder temp;
    HRESULT status = Extract(c.block, temp / L"out");
    if (c.exactlyOne) {
      EXPECT_EQ(status, S_FALSE);
    }
    EXPECT_NE(status, S_OK);
    EXPECT_FALSE(FolderExists(temp / L"out"));
  }
}

TEST(ExtractTest, ExtractingTwiceOverwritesEveryFile) {
  TempFolder temp;
  const std::wstring out = temp / L"out";
  const std::string archive = ReadFixture(L"lzma_bcj2.7z");
  ASSERT_EQ(Extract(archive, out), S_OK);
  ASSERT_TRUE(WriteFileBytes(out + L"\\config\\setup.xml", std::string(100000, 'x')));
  ASSERT_TRUE(WriteFileBytes(out + L"\\empty.txt", "not empty any more"));
  EXPECT_EQ(Extract(archive, out), S_OK);
  EXPECT_EQ(ReadTree(out), ReadTree(FixturePath(L"tree")));
}

// Every archive item that names a place outside the destination (or that
// Windows would read as a device or stream) ends the extraction before it
// is written.
TEST(ExtractTest, ItemPathsLeadingOutOfTheDestinationAreRefused) {
  TempFolder temp;
  const std::wstring sandbox = temp / L"sandbox";
  const std::wstring destination = sandbox + L"\\a\\b";
  ASSERT_FALSE(FileExists(L"C:\\x"));
  wchar_t previousFolder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previousFolder);
  MakeFolders(destination);
  // A leading "\" means the root of the current drive.
  SetCurrentDirectoryW(destination.c_str());
  for (const wchar_t* name : {L"parent", L"inner_parent", L"drive", L"root", L"stream", L"device",
                              L"dots", L"nameless", L"no_names"}) {
    SCOPED_TRACE(name);
    EXPECT_NE(Extract(ReadFixture(L"crafted_" + std::wstring(name) + L".7z"), destination), S_OK);
    for (const auto& entry : ReadTree(sandbox)) {
      EXPECT_TRUE(entry.first == L"a\\" || entry.first == L"a\\b\\" || entry.first == L"a\\b\\good.txt")
          << "unexpected " << std::string(entry.first.begin(), entry.first.end());
      EXPECT_EQ(entry.second.find("evil"), std::string::npos);
    }
    EXPECT_FALSE(FileExists(L"C:\\x"));
    EXPECT_FALSE(FileExists(L"\\x"));
  }
  SetCurrentDirectoryW(previousFolder);
}

TEST(ExtractTest, FolderEntriesMakeFoldersAndNeverDisturbExtractedOnes) {
  struct Case {
    const wchar_t* fixture;
    bool succeeds;
    Tree expected;
  };
  const Case cases[] = {
      {L"crafted_folder_after_files.7z", true, {{L"d\\", ""}, {L"d\\inside.txt", "inside"}}},
      {L"crafted_empty_folder.7z", true, {{L"e\\", ""}, {L"e\\f\\", ""}, {L"z.txt", ""}}},
      // A file item where a folder was extracted fails rather than move it.
      {L"crafted_file_over_folder.7z", false, {{L"d\\", ""}, {L"d\\inside.txt", "inside"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    TempFolder temp;
    HRESULT status = Extract(ReadFixture(c.fixture), temp / L"out");
    EXPECT_EQ(status == S_OK, c.succeeds) << std::hex << status;
    EXPECT_EQ(ReadTree(temp / L"out"), c.expected);
  }
}

TEST(ExtractTest, DamagedItemsFailTheExtraction) {
  struct Case {
    const wchar_t* fixture;
    size_t offset;  // of the byte that is flipped
  };
  // Inside the stored bytes of the first file, and inside compressed data.
  const Case cases[] = {{L"copy.7z", 40}, {L"lzma2.7z", 5000}, {L"lzma_bcj2.7z", 60000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    std::string archive = ReadFixture(c.fixture);
    archive[c.offset] = static_cast<char>(archive[c.offset] ^ 0x55);
    TempFolder temp;
    EXPECT_NE(Extract(archive, temp / L"out"), S_OK);
  }
}

TEST(ExtractTest, AFileThatCannotBeCreatedFailsTheExtraction) {
  TempFolder temp;
  const std::wstring out = temp / L"out";
  // empty.txt is an item of zero bytes: no write would notice the failure.
  MakeFolders(out + L"\\empty.txt\\");
  EXPECT_NE(Extract(ReadFixture(L"small_lzma2.7z"), out), S_OK);
  EXPECT_TRUE(FolderExists(out + L"\\empty.txt"));
}

}  // namespace
