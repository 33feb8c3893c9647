// WinHTTP plumbing shared by the HTTP GET and the downloader: one GET
// request from a URL, with its session and connection, owned together.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

class UniqueInternet {
 public:
  UniqueInternet() = default;
  explicit UniqueInternet(HINTERNET h) : handle(h) {}
  ~UniqueInternet() { reset(); }
  UniqueInternet(const UniqueInternet&) = delete;
  UniqueInternet& operator=(const UniqueInternet&) = delete;
  HINTERNET get() const { return handle; }
  explicit operator bool() const { return handle != nullptr; }
  void reset(HINTERNET h = nullptr) {
    if (handle) WinHttpCloseHandle(handle);
    handle = h;
  }

 private:
  HINTERNET handle = nullptr;
};

struct HttpGetOptions {
  DWORD timeoutMs = 60000;  // for each of resolve, connect, send and every receive
  bool followRedirects = true;
  bool refresh = false;  // ask caches on the way for a fresh reply
};

enum HttpGetFailure {
  kHttpOk = 0,
  kHttpBadUrl = 1,        // empty, malformed, or not http/https
  kHttpTransport = 2,     // resolve, connect, TLS, send or receive failed
  kHttpStatus = 3,        // the server answered with a status outside 2xx
  kHttpTooLarge = 4,      // the body exceeds what the caller accepts
  kHttpWriteFailed = 5,   // the body could not be stored
};

// A GET whose response headers have arrived.
class HttpGetRequest {
 public:
  // Opens the request and sends it; on kHttpOk the status line has been
  // read (any status). `error` receives the system error of a failure.
  int Open(const std::wstring& url, const HttpGetOptions& options, DWORD* error);
  DWORD Status() const;
  // Content-Length when the server sent one, else -1.
  long long ContentLength() const;
  std::string RawHeaders() const;
  // Up to `size` body bytes into `buffer`; *read is 0 at the end of the
  // body. False on a transfer failure or timeout.
  bool Read(void* buffer, DWORD size, DWORD* read);

 private:
  UniqueInternet session;
  UniqueInternet connection;
  UniqueInternet request;
};
