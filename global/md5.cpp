#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "shared/global_api.h"

namespace {

// Not hexadecimal, so it equals no MD5 text whatever the letter case.
const wchar_t kNoChecksum[] = L"<no md5>";
const DWORD kPieceSize = 1 << 20;

class Md5Hash {
 public:
  Md5Hash() {
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0) {
      algorithm = nullptr;
      return;
    }
    if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0) hash = nullptr;
  }
  ~Md5Hash() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  bool ok() const { return hash != nullptr; }
  bool Add(const BYTE* data, DWORD size) {
    return BCryptHashData(hash, const_cast<PUCHAR>(data), size, 0) == 0;
  }
  bool Finish(BYTE (&digest)[16]) { return BCryptFinishHash(hash, digest, 16, 0) == 0; }

 private:
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

}  // namespace

std::wstring CMD5Checksum::GetMD5(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoChecksum;
  Md5Hash md5;
  bool ok = md5.ok();
  std::vector<BYTE> piece(kPieceSize);
  while (ok) {
    DWORD read = 0;
    if (!ReadFile(file, piece.data(), kPieceSize, &read, nullptr)) ok = false;
    else if (read == 0) break;
    else ok = md5.Add(piece.data(), read);
  }
  CloseHandle(file);
  BYTE digest[16];
  if (!ok || !md5.Finish(digest)) return kNoChecksum;
  static const wchar_t hex[] = L"0123456789abcdef";
  std::wstring text(32, L'0');
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = hex[digest[i] >> 4];
    text[2 * i + 1] = hex[digest[i] & 15];
  }
  return text;
}
