// Feeds damaged incremental packages to the loader and the install, for the
// mutation test (test_package_mutation.py):
//   package_fuzz binary VALID.zzd ROOT COUNT SEED
//     COUNT mutations of VALID through LoadPatchPackage, work folder ROOT\work\.
//   package_fuzz install ROOT PACKAGE...
//     each package through DoIncrementInstall over ROOT\install\; with
//     ZEMORA_HOLD_FILE set, that file is held open meanwhile the way a
//     running program's image is (readable, renamable, not writable).
// Prints one line per outcome kind and exits 0; the script checks the disk.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "incremental/increment_install.h"
#include "incremental/patch_package.h"
#include "log/log.h"
#include "shared/global_api.h"

namespace {

std::string ReadAll(const std::wstring& path) {
  std::string out;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return out;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) out.append(buffer, read);
  CloseHandle(file);
  return out;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

void Put32(std::string& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4 && offset + i < bytes.size(); ++i) {
    bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

uint32_t Get32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 0; i < 4 && offset + i < bytes.size(); ++i) {
    value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])) << (8 * i);
  }
  return value;
}

// Damage of one of several kinds; some keep the CRC right so that the damage
// reaches the 7z reader.
std::string Mutate(const std::string& valid, std::mt19937& random) {
  std::string bytes = valid;
  auto pick = [&](size_t n) { return n ? static_cast<size_t>(random() % n) : 0; };
  const uint32_t length1 = Get32(valid, 6);
  switch (random() % 7) {
    case 0:  // a few flipped bytes anywhere
      for (int i = 0, n = 1 + static_cast<int>(random() % 8); i < n; ++i) {
        bytes[pick(bytes.size())] ^= static_cast<char>(1 + random() % 255);
      }
      break;
    case 1:  // cut short
      bytes.resize(pick(bytes.size()));
      break;
    case 2:  // header fields
      bytes[pick(22)] = static_cast<char>(random());
      break;
    case 3:  // lengths that point anywhere
      Put32(bytes, random() % 2 ? 6 : 14 + length1, static_cast<uint32_t>(random()));
      break;
    case 4:  // sub-package 1 damaged with its CRC made to match
    case 5: {  // sub-package 2 likewise
      bool first = random() % 2 == 0;
      size_t start = first ? 14 : 22 + length1;
      size_t length = first ? length1 : Get32(valid, 14 + length1);
      if (start + length > bytes.size() || length == 0) break;
      for (int i = 0, n = 1 + static_cast<int>(random() % 4); i < n; ++i) {
        bytes[start + pick(length)] ^= static_cast<char>(1 + random() % 255);
      }
      Put32(bytes, first ? 10 : 18 + length1,
            Crc32Utils::CRC32(0, bytes.data() + start, static_cast<uint32_t>(length)));
      break;
    }
    default:  // count and magic
      Put32(bytes, 4, static_cast<uint32_t>(random() % 4) | (Get32(valid, 6) << 16));
      if (random() % 3 == 0) bytes[pick(4)] ^= 0x20;
      break;
  }
  return bytes;
}

int Binary(const std::wstring& valid, const std::wstring& root, int count, unsigned seed) {
  std::string bytes = ReadAll(valid);
  if (bytes.empty()) return 2;
  std::mt19937 random(seed);
  std::wstring package = root + L"mutant.zzd";
  int loaded = 0, refused = 0;
  for (int i = 0; i < count; ++i) {
    WriteAll(package, Mutate(bytes, random));
    PatchPackage record(package, root + L"work\\", root + L"install\\");
    if (LoadPatchPackage(record)) ++loaded;
    else ++refused;
  }
  std::printf("loaded %d refused %d\n", loaded, refused);
  return 0;
}

int Install(const std::wstring& root, int count, wchar_t** packages) {
  const wchar_t* held = _wgetenv(L"ZEMORA_HOLD_FILE");
  HANDLE hold = INVALID_HANDLE_VALUE;
  if (held && *held) {
    hold = CreateFileW(held, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    if (hold == INVALID_HANDLE_VALUE) return 3;
  }
  OpenLog(CFileOperation::MakeWorkPath(L""));
  InstallInfo info(root + L"install\\", L"");
  for (int i = 0; i < count; ++i) {
    int result = DoIncrementInstall(packages[i], info);
    std::printf("result %d\n", result);
    std::fflush(stdout);
  }
  CloseLog();
  if (hold != INVALID_HANDLE_VALUE) CloseHandle(hold);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  CoInitialize(nullptr);
  int code = 2;
  if (argc == 6 && std::wstring(argv[1]) == L"binary") {
    code = Binary(argv[2], argv[3], _wtoi(argv[4]), static_cast<unsigned>(_wtoi(argv[5])));
  } else if (argc >= 3 && std::wstring(argv[1]) == L"install") {
    code = Install(argv[2], argc - 3, argv + 3);
  }
  CoUninitialize();
  return code;
}
