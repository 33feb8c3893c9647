// A tiny HTTP/1.0 server on 127.0.0.1 for tests of the HTTP client and the
// downloader, written on plain Winsock so that it shares nothing with them.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

struct LoopbackRoute {
  int status = 200;
  std::string body;
  size_t cutAfter = static_cast<size_t>(-1);  // close after this many body bytes
  size_t pauseAfter = static_cast<size_t>(-1);  // then wait pauseMs before the rest
  DWORD pauseMs = 0;
  size_t chunk = 64 * 1024;
  DWORD delayPerChunkMs = 0;
};

class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool ok() const { return listener != INVALID_SOCKET; }
  // Routes are looked up by path with query first, then by path alone.
  void Route(const std::string& target, const LoopbackRoute& route);
  std::wstring Base() const;  // http://127.0.0.1:PORT
  std::wstring Url(const std::string& target) const { return Base() + Widen(target); }
  // Every request target (path and query) received, in order.
  std::vector<std::string> Requests();

  static std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

 private:
  static DWORD WINAPI AcceptThread(void* self);
  void Serve(SOCKET client);
  bool Pause(DWORD ms);

  SOCKET listener = INVALID_SOCKET;
  unsigned short port = 0;
  HANDLE thread = nullptr;
  HANDLE stopping = nullptr;
  CRITICAL_SECTION lock;
  std::map<std::string, LoopbackRoute> routes;
  std::vector<std::string> requests;
};

// A port on 127.0.0.1 where nothing listens.
unsigned short ClosedLoopbackPort();
