// Extracting over files that are in use: they are replaced now when they can
// be moved, or at the next restart. Checks the delayed moves that Windows keeps
// in PendingFileRenameOperations and restores that value afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive_test_support.h"
#include "base/handles.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";
const char kNewProbe[] = "the new probe\r\n";

struct PendingMove {
  std::wstring source;
  std::wstring target;  // empty: delete
};

// The value as it was, put back when the test ends.
class PendingMoves {
 public:
  PendingMoves() { existed = ReadRaw(&saved); }
  ~PendingMoves() {
    zemora::UniqueHkey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
      return;
    if (existed) {
      RegSetValueExW(key.get(), kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(saved.data()),
                     static_cast<DWORD>(saved.size() * sizeof(wchar_t)));
    } else {
      RegDeleteValueW(key.get(), kPendingValue);
    }
  }

  // The moves scheduled since the test began.
  std::vector<PendingMove> Added() const {
    std::wstring now;
    ReadRaw(&now);
    std::vector<PendingMove> before = Parse(saved), after = Parse(now);
    return std::vector<PendingMove>(after.begin() + std::min(before.size(), after.size()), after.end());
  }

 private:
  static bool ReadRaw(std::wstring* data) {
    data->clear();
    zemora::UniqueHkey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
      return false;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
      return false;
    data->resize(size / sizeof(wchar_t) + 1);
    RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&(*data)[0]), &size);
    data->resize(size / sizeof(wchar_t));
    return true;
  }

  // Pairs of texts, each ended by a null; an empty source ends the list.
  static std::vector<PendingMove> Parse(const std::wstring& data) {
    std::vector<std::wstring> texts;
    size_t start = 0;
    for (size_t i = 0; i < data.size(); ++i) {
      if (data[i] == L'\0') {
        texts.push_back(data.substr(start, i - start));
        start = i + 1;
      }
    }
    std::vector<PendingMove> moves;
    for (size_t i = 0; i + 1 < texts.size() && !texts[i].empty(); i += 2) moves.push_back({texts[i], texts[i + 1]});
    return moves;
  }

  bool existed = false;
  std::wstring saved;
};

// Without the "\??\" that marks a path in the list (and the "!" of a move
// that may replace its target).
std::wstring PlainPath(std::wstring path) {
  if (!path.empty() && path[0] == L'!') path.erase(0, 1);
  if (path.compare(0, 4, L"\\??\\") == 0) path.erase(0, 4);
  return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

TEST(InUseTest, LoadedLibraryIsMovedAsideAndReplacedAtOnce) {
  TempFolder temp;
  const std::wstring out = temp / L"out";
  const std::wstring library = out + L"\\probe.dll";
  MakeFolders(out);
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"archive_probe.dll").c_str(), library.c_str(), FALSE));
  const std::string oldBytes = ReadFileBytes(library);
  HMODULE module = LoadLibraryW(library.c_str());
  ASSERT_NE(module, nullptr);
  {
    PendingMoves pending;
    EXPECT_EQ(Extract(ReadFixture(L"in_use.7z"), out), S_OK);
    EXPECT_EQ(ReadFileBytes(library), kNewProbe);
    std::vector<PendingMove> added = pending.Added();
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].target, L"");
    const std::wstring moved = PlainPath(added[0].source);
    EXPECT_TRUE(SamePath(moved.substr(0, out.size() + 1), out + L"\\"));
    EXPECT_EQ(ReadFileBytes(moved), oldBytes);
  }
  FreeLibrary(module);
}

TEST(InUseTest, FileHeldWithoutSharingIsReplacedAtTheNextRestart) {
  TempFolder temp;
  const std::wstring out = temp / L"out";
  const std::wstring path = out + L"\\probe.dll";
  MakeFolders(out);
  ASSERT_TRUE(WriteFileBytes(path, "old bytes"));
  {
    PendingMoves pending;
    zemora::UniqueFile holder(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.valid());
    EXPECT_EQ(Extract(ReadFixture(L"in_use.7z"), out), S_OK);
    holder.reset();
    EXPECT_EQ(ReadFileBytes(path), "old bytes");
    EXPECT_EQ(ReadFileBytes(path + L"0"), kNewProbe);
    std::vector<PendingMove> added = pending.Added();
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(SamePath(PlainPath(added[0].source), path + L"0"));
    EXPECT_EQ(added[0].target.substr(0, 1), L"!");
    EXPECT_TRUE(SamePath(PlainPath(added[0].target), path));
  }
  // Nothing but the two files: no temporary name was left behind.
  EXPECT_EQ(ReadTree(out).size(), 2u);
}

}  // namespace
