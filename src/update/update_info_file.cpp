// Update.xml: the service's reply saved byte for byte for a relaunched
// updater, and read back by it.
#include <windows.h>

#include "log/log.h"
#include "update/downloader.h"

namespace {

// Update info is a few kilobytes; a file far larger is not one, and
// reading it whole could exhaust the process's memory.
const LONGLONG kLargestUpdateInfo = 64LL << 20;

}  // namespace

std::string CDownloader::ReadUpdateInfoFile(const std::wstring& path) {
  zemora::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    Log(Error, "cannot open %S: %d", path.c_str(), static_cast<int>(GetLastError()));
    return std::string();
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size)) return std::string();
  if (size.QuadPart > kLargestUpdateInfo) {
    Log(Error, "update info file %S too large: %lld bytes", path.c_str(),
        static_cast<long long>(size.QuadPart));
    return std::string();
  }
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      !ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return std::string();
  }
  bytes.resize(read);
  return bytes;
}

int CDownloader::WriteUpdateInfoFile(const std::wstring& path) {
  if (updateInfoText.empty()) {
    Log(Error, "no update info");
    return 0;
  }
  zemora::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    Log(Error, "create %S failed: %d", path.c_str(), static_cast<int>(GetLastError()));
    return 0;
  }
  DWORD written = 0;
  if (!WriteFile(file.get(), updateInfoText.data(), static_cast<DWORD>(updateInfoText.size()),
                 &written, nullptr) ||
      written != updateInfoText.size()) {
    Log(Error, "write to %S failed: %d", path.c_str(), static_cast<int>(GetLastError()));
    return 0;
  }
  return 1;
}
