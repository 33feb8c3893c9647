#include "incremental/patch_package.h"

#include <windows.h>
#include <dbghelp.h>

#include <cstring>

#include "archive/seven_zip_extract.h"
#include "base/text.h"
#include "incremental/folder_ops.h"
#include "log/log.h"
#include "shared/global_api.h"

namespace {

const uint8_t kMagic[4] = {0x7A, 0x7A, 0x64, 0x2E};  // "zzd."
const uint64_t kFirstHeaderSize = 14;
const uint64_t kSecondHeaderSize = 8;

std::wstring WithBackslash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

// Bytes beyond the end of the file read as zero.
uint32_t ReadLittleEndian(const uint8_t* data, uint64_t size, uint64_t offset, int width) {
  uint32_t value = 0;
  for (int i = 0; i < width; ++i) {
    if (offset + i < size) value |= static_cast<uint32_t>(data[offset + i]) << (8 * i);
  }
  return value;
}

bool UnpackSubPackage(const uint8_t* data, uint32_t length, uint32_t storedCrc,
                      const std::wstring& workFolder) {
  if (Crc32Utils::CRC32(0, data, length) != storedCrc) {
    Log(Error, "CRC verification failed for %S", workFolder.c_str());
    Log(Error, "extract setup.xml failed");
    return false;
  }
  if (!ExtractFromMemory(data, length, workFolder)) {
    Log(Error, "extract setup.xml failed");
    return false;
  }
  return true;
}

}  // namespace

PatchPackage::PatchPackage(std::wstring packagePath, std::wstring workFolder,
                           std::wstring installFolder)
    : packagePath(std::move(packagePath)),
      workFolder(WithBackslash(std::move(workFolder))),
      installFolder(WithBackslash(std::move(installFolder))) {}

bool ExtractFromMemory(const uint8_t* data, uint32_t size, const std::wstring& folder) {
  I7zExtract* extractor = Create7zExtractor();
  if (!extractor) {
    Log(Error, "cannot get the 7z extract interface");
    return false;
  }
  int32_t status = extractor->ExtractToFolder(data, size, folder.c_str());
  extractor->Release();
  return status == 0;
}

bool LoadPatchPackage(PatchPackage& package) {
  package.file.reset(CreateFileW(package.packagePath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!package.file) {
    Log(Error, "cannot open %S for read: %d", package.packagePath.c_str(),
        static_cast<int>(GetLastError()));
    return false;
  }
  const uint64_t size = GetFileSize(package.file.get(), nullptr);
  zemora::UniqueHandle mapping(
      CreateFileMappingW(package.file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) {
    Log(Error, "create file mapping on %S failed: %d", package.packagePath.c_str(),
        static_cast<int>(GetLastError()));
    return false;
  }
  zemora::UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view.get()) {
    Log(Error, "map file view failed: %d", static_cast<int>(GetLastError()));
    return false;
  }
  const auto* data = static_cast<const uint8_t*>(view.get());

  uint8_t magic[4] = {};
  for (uint64_t i = 0; i < 4 && i < size; ++i) magic[i] = data[i];
  if (std::memcmp(magic, kMagic, 4) != 0) {
    Log(Error, "patch package magic number not match");
    return false;
  }
  uint32_t count = ReadLittleEndian(data, size, 4, 2);
  if (count < 2) {
    Log(Error, "invalid package count: %d", static_cast<int>(count));
    return false;
  }
  if (size < kFirstHeaderSize) {
    Log(Error, "invalid file size: %d", static_cast<int>(size));
    return false;
  }
  const uint64_t length1 = ReadLittleEndian(data, size, 6, 4);
  const uint32_t crc1 = ReadLittleEndian(data, size, 10, 4);
  if (kFirstHeaderSize + length1 > size) {
    Log(Error, "invalid file size: %d, sub package size: %d", static_cast<int>(size),
        static_cast<int>(length1));
    return false;
  }

  DeleteFolderTree(package.workFolder);
  MakeSureDirectoryPathExists(zemora::WideToThreadAnsi(package.workFolder).c_str());

  if (!UnpackSubPackage(data + kFirstHeaderSize, static_cast<uint32_t>(length1), crc1,
                        package.workFolder)) {
    return false;
  }
  if (!ParseSetupManifest(package.manifest, package.workFolder + L"config\\setup.xml")) {
    Log(Error, "parse setup.xml failed");
    return false;
  }

  const uint64_t second = kFirstHeaderSize + length1;
  if (size < second + kSecondHeaderSize) {
    Log(Error, "invalid file size: %d", static_cast<int>(size));
    return false;
  }
  const uint64_t length2 = ReadLittleEndian(data, size, second, 4);
  const uint32_t crc2 = ReadLittleEndian(data, size, second + 4, 4);
  if (second + kSecondHeaderSize + length2 > size) {
    Log(Error, "invalid file size: %d, sub package size: %d", static_cast<int>(size),
        static_cast<int>(length2));
    return false;
  }
  return UnpackSubPackage(data + second + kSecondHeaderSize, static_cast<uint32_t>(length2), crc2,
                          package.workFolder);
}
