#include "winhttp_request.h"

#include <vector>

#include "base/text.h"

namespace {

const wchar_t kUserAgent[] = L"ZemoraUpdate/186";

struct UrlParts {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring pathAndQuery;
};

bool SplitUrl(const std::wstring& url, UrlParts* parts) {
  if (url.empty()) return false;
  URL_COMPONENTS components = {};
  components.dwStructSize = sizeof components;
  components.dwSchemeLength = static_cast<DWORD>(-1);
  components.dwHostNameLength = static_cast<DWORD>(-1);
  components.dwUrlPathLength = static_cast<DWORD>(-1);
  components.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) return false;
  if (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS) {
    return false;
  }
  if (!components.lpszHostName || components.dwHostNameLength == 0) return false;
  parts->secure = components.nScheme == INTERNET_SCHEME_HTTPS;
  parts->host.assign(components.lpszHostName, components.dwHostNameLength);
  parts->port = components.nPort;
  if (components.lpszUrlPath) parts->pathAndQuery.assign(components.lpszUrlPath, components.dwUrlPathLength);
  if (components.lpszExtraInfo) {
    parts->pathAndQuery.append(components.lpszExtraInfo, components.dwExtraInfoLength);
  }
  if (parts->pathAndQuery.empty()) parts->pathAndQuery = L"/";
  return true;
}

int Fail(DWORD* error, int failure) {
  if (error) *error = GetLastError();
  return failure;
}

}  // namespace

int HttpGetRequest::Open(const std::wstring& url, const HttpGetOptions& options, DWORD* error) {
  if (error) *error = 0;
  UrlParts parts;
  if (!SplitUrl(url, &parts)) {
    if (error) *error = ERROR_WINHTTP_INVALID_URL;
    return kHttpBadUrl;
  }
  session.reset(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return Fail(error, kHttpTransport);
  int timeout = static_cast<int>(options.timeoutMs);
  WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);
  connection.reset(WinHttpConnect(session.get(), parts.host.c_str(), parts.port, 0));
  if (!connection) return Fail(error, kHttpTransport);
  DWORD flags = (parts.secure ? WINHTTP_FLAG_SECURE : 0) | (options.refresh ? WINHTTP_FLAG_REFRESH : 0);
  request.reset(WinHttpOpenRequest(connection.get(), L"GET", parts.pathAndQuery.c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!request) return Fail(error, kHttpTransport);
  if (!options.followRedirects) {
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
  }
  // Certificates are checked as WinHTTP checks them by default: no
  // security flag is relaxed here.
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                          0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    return Fail(error, kHttpTransport);
  }
  return kHttpOk;
}

DWORD HttpGetRequest::Status() const {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return status;
}

long long HttpGetRequest::ContentLength() const {
  wchar_t text[32] = {};
  DWORD size = sizeof text;
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                           text, &size, WINHTTP_NO_HEADER_INDEX)) {
    return -1;
  }
  long long value = 0;
  const wchar_t* p = text;
  if (*p < L'0' || *p > L'9') return -1;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    if (value > (0x7fffffffffffffffLL - 9) / 10) return -1;
    value = value * 10 + (*p - L'0');
  }
  return *p ? -1 : value;
}

std::string HttpGetRequest::RawHeaders() const {
  DWORD size = 0;
  WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (size == 0) return std::string();
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1);
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF,
                           WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return std::string();
  }
  return zemora::WideToUtf8(std::wstring(text.data(), size / sizeof(wchar_t)));
}

bool HttpGetRequest::Read(void* buffer, DWORD size, DWORD* read) {
  *read = 0;
  return WinHttpReadData(request.get(), buffer, size, read) != FALSE;
}
