#include "loopback_server.h"

#include <ws2tcpip.h>

#include <algorithm>

namespace {

void EnsureWinsock() {
  static struct WinsockUser {
    WinsockUser() {
      WSADATA data;
      WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
  } winsock;
}

SOCKET ListenOnLoopback(unsigned short* port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int size = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  *port = ntohs(address.sin_port);
  return s;
}

bool SendAll(SOCKET s, const char* data, size_t size) {
  while (size > 0) {
    int sent = send(s, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

}  // namespace

LoopbackServer::LoopbackServer() {
  EnsureWinsock();
  InitializeCriticalSection(&lock);
  stopping = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  listener = ListenOnLoopback(&port);
  if (listener != INVALID_SOCKET) thread = CreateThread(nullptr, 0, AcceptThread, this, 0, nullptr);
}

LoopbackServer::~LoopbackServer() {
  SetEvent(stopping);
  if (listener != INVALID_SOCKET) closesocket(listener);
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(stopping);
  DeleteCriticalSection(&lock);
}

void LoopbackServer::Route(const std::string& target, const LoopbackRoute& route) {
  EnterCriticalSection(&lock);
  routes[target] = route;
  LeaveCriticalSection(&lock);
}

std::wstring LoopbackServer::Base() const { return L"http://127.0.0.1:" + std::to_wstring(port); }

std::vector<std::string> LoopbackServer::Requests() {
  EnterCriticalSection(&lock);
  std::vector<std::string> copy = requests;
  LeaveCriticalSection(&lock);
  return copy;
}

DWORD WINAPI LoopbackServer::AcceptThread(void* self) {
  LoopbackServer* server = static_cast<LoopbackServer*>(self);
  for (;;) {
    SOCKET client = accept(server->listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) break;  // the listener was closed
    server->Serve(client);
    closesocket(client);
  }
  return 0;
}

bool LoopbackServer::Pause(DWORD ms) { return WaitForSingleObject(stopping, ms) == WAIT_TIMEOUT; }

void LoopbackServer::Serve(SOCKET client) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    int got = recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    head.append(buffer, got);
  }
  size_t first = head.find(' ');
  size_t second = first == std::string::npos ? first : head.find(' ', first + 1);
  if (second == std::string::npos) return;
  std::string target = head.substr(first + 1, second - first - 1);

  EnterCriticalSection(&lock);
  requests.push_back(target);
  auto found = routes.find(target);
  if (found == routes.end()) found = routes.find(target.substr(0, target.find('?')));
  LoopbackRoute route;
  bool known = found != routes.end();
  if (known) route = found->second;
  LeaveCriticalSection(&lock);
  if (!known) {
    route.status = 404;
    route.body = "not found";
  }

  std::string response = "HTTP/1.0 " + std::to_string(route.status) + " " + Reason(route.status) +
                         "\r\nContent-Length: " + std::to_string(route.body.size()) +
                         "\r\nConnection: close\r\n\r\n";
  if (!SendAll(client, response.data(), response.size())) return;
  size_t limit = std::min(route.cutAfter, route.body.size());
  size_t sent = 0;
  bool paused = false;
  while (sent < limit) {
    size_t piece = std::min(route.chunk, limit - sent);
    if (!paused && sent + piece > route.pauseAfter) piece = route.pauseAfter - sent;
    if (piece > 0 && !SendAll(client, route.body.data() + sent, piece)) return;
    sent += piece;
    if (!paused && sent == route.pauseAfter) {
      paused = true;
      if (!Pause(route.pauseMs)) return;
    }
    if (route.delayPerChunkMs && !Pause(route.delayPerChunkMs)) return;
  }
  shutdown(client, SD_SEND);
}

unsigned short ClosedLoopbackPort() {
  EnsureWinsock();
  unsigned short port = 0;
  SOCKET s = ListenOnLoopback(&port);
  closesocket(s);
  return port;
}
