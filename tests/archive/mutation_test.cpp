// Damaged archives of every kind the reader takes: whatever the bytes, the
// extraction ends, nothing crashes, and nothing lands outside the folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "archive_test_support.h"
#include "support/temp_folder.h"

namespace {

const size_t kStartHeaderSize = 32;

uint32_t Crc(const std::string& bytes, size_t offset, size_t size) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + offset), static_cast<uInt>(size)));
}

void PutLittleEndian32(std::string& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// Mends the two header checksums, so that a changed header gets parsed
// instead of refused at the first check.
void FixChecksums(std::string& archive) {
  uint64_t nextOffset = 0, nextSize = 0;
  memcpy(&nextOffset, archive.data() + 12, 8);
  memcpy(&nextSize, archive.data() + 20, 8);
  if (kStartHeaderSize + nextOffset + nextSize <= archive.size()) {
    PutLittleEndian32(archive, 28, Crc(archive, kStartHeaderSize + nextOffset, nextSize));
  }
  PutLittleEndian32(archive, 8, Crc(archive, 12, 20));
}

// Changes one to three bytes in [from, to).
void FlipBytes(std::string& archive, size_t from, size_t to, std::mt19937& random) {
  int flips = 1 + random() % 3;
  for (int i = 0; i < flips; ++i) {
    size_t at = from + random() % (to - from);
    archive[at] = static_cast<char>(archive[at] ^ (1 + random() % 255));
  }
}

std::string Mutate(const std::string& original, std::mt19937& random) {
  std::string archive = original;
  switch (random() % 4) {
    case 0:  // anywhere, checksums left as they are
      FlipBytes(archive, 0, archive.size(), random);
      break;
    case 1:  // in the header at the end, checksums mended
      FlipBytes(archive, archive.size() - std::min<size_t>(archive.size() - kStartHeaderSize, 64),
                archive.size(), random);
      FixChecksums(archive);
      break;
    case 2:  // in the start header's offset and sizes, checksum mended
      FlipBytes(archive, 12, 28, random);
      PutLittleEndian32(archive, 8, Crc(archive, 12, 20));
      break;
    default:  // cut short
      archive.resize(random() % archive.size());
      break;
  }
  return archive;
}

// The names at the top level of `folder`, folders ending with "\\".
std::set<std::wstring> TopLevel(std::wstring folder) {
  std::set<std::wstring> names;
  if (folder.back() == L'\\') folder.pop_back();
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    names.insert(name + ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? L"\\" : L""));
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

TEST(MutationTest, DamagedArchivesNeverCrashHangOrWriteOutsideTheFolder) {
  TempFolder temp;
  const std::wstring sandbox = temp / L"sandbox";
  const std::wstring scratch = sandbox + L"\\scratch";
  MakeFolders(scratch);
  ASSERT_TRUE(WriteFileBytes(sandbox + L"\\sentinel.txt", "sentinel"));
  const std::set<std::wstring> expectedSandbox = {L"scratch\\", L"sentinel.txt"};
  const std::set<std::wstring> expectedTemp = {L"sandbox\\"};

  std::mt19937 random(20240611);
  for (const wchar_t* seed : {L"small_lzma_bcj2.7z", L"small_lzma2.7z", L"small_copy.7z",
                              L"small_bcj_lzma.7z", L"small_delta_lzma.7z", L"crafted_plain.7z"}) {
    const std::string original = ReadFixture(seed);
    ASSERT_GT(original.size(), kStartHeaderSize) << seed;
    for (int i = 0; i < 400; ++i) {
      SCOPED_TRACE(testing::Message() << std::string(seed, seed + wcslen(seed)) << " mutation " << i);
      Extract(Mutate(original, random), scratch);
      ASSERT_EQ(TopLevel(sandbox), expectedSandbox);
      ASSERT_EQ(TopLevel(temp.path()), expectedTemp);
    }
    RemoveTree(scratch);
    MakeFolders(scratch);
  }
  EXPECT_EQ(ReadFileBytes(sandbox + L"\\sentinel.txt"), "sentinel");
}

}  // namespace
