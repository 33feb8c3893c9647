#include <vector>

#include "shared/global_api.h"
#include "winhttp_request.h"

namespace {

// Bits of the `mode` argument.
const int kModeFollowRedirects = 1;
const int kModeRefresh = 2;

// Replies fetched whole into memory are small; a body beyond this is refused.
const size_t kLargestBody = 64u << 20;

}  // namespace

int ZemoraHttpUtils::Get(const std::wstring& url, std::string& body, int* status,
                         std::string* headers, int mode, const void*) {
  body.clear();
  if (status) *status = 0;
  if (headers) headers->clear();

  HttpGetOptions options;
  options.followRedirects = (mode & kModeFollowRedirects) != 0;
  options.refresh = (mode & kModeRefresh) != 0;
  HttpGetRequest request;
  int opened = request.Open(url, options, nullptr);
  if (opened != kHttpOk) return opened;
  DWORD code = request.Status();
  if (status) *status = static_cast<int>(code);
  if (headers) *headers = request.RawHeaders();

  std::vector<char> piece(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!request.Read(piece.data(), static_cast<DWORD>(piece.size()), &read)) {
      body.clear();
      return kHttpTransport;
    }
    if (read == 0) break;
    if (body.size() + read > kLargestBody) {
      body.clear();
      return kHttpTooLarge;
    }
    body.append(piece.data(), read);
  }
  if (code < 200 || code > 299) return kHttpStatus;
  long long expected = request.ContentLength();
  if (expected >= 0 && static_cast<long long>(body.size()) != expected) {
    body.clear();  // the connection ended early
    return kHttpTransport;
  }
  return kHttpOk;
}
