#include "protocol_client.h"

#include <cstring>

#include "status/packet.h"

namespace {
const uint32_t kMinPayload = 5;
const DWORD kRetryStepMs = 20;
}  // namespace

std::wstring FullPipeName(const std::wstring& name) {
  if (name.rfind(L"\\\\", 0) == 0) return name;
  return L"\\\\.\\pipe\\" + name;
}

StatusPipeClient::StatusPipeClient()
    : readEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      writeEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

StatusPipeClient::~StatusPipeClient() { Close(); }

ConnectResult StatusPipeClient::Connect(const std::wstring& pipeName, DWORD waitMs,
                                        DWORD* error) {
  Close();
  std::wstring name = FullPipeName(pipeName);
  ULONGLONG deadline = GetTickCount64() + waitMs;
  DWORD lastError = 0;
  for (;;) {
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      pipe.reset(h);
      received.clear();
      if (error) *error = 0;
      return ConnectResult::Connected;
    }
    lastError = GetLastError();
    if (error) *error = lastError;
    if (lastError != ERROR_FILE_NOT_FOUND && lastError != ERROR_PIPE_BUSY) {
      return ConnectResult::Failed;
    }
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) return ConnectResult::NoServer;
    DWORD step = static_cast<DWORD>(deadline - now < kRetryStepMs ? deadline - now : kRetryStepMs);
    // A busy pipe has a client already; its instance comes back when that
    // client goes, which WaitNamedPipe notices sooner than polling.
    if (lastError == ERROR_PIPE_BUSY) {
      WaitNamedPipeW(name.c_str(), step);
    } else {
      Sleep(step);
    }
  }
}

bool StatusPipeClient::StartRead() {
  if (readPending) return true;
  readOverlapped = OVERLAPPED{};
  readOverlapped.hEvent = readEvent.get();
  if (ReadFile(pipe.get(), chunk, sizeof chunk, nullptr, &readOverlapped) ||
      GetLastError() == ERROR_IO_PENDING) {
    readPending = true;
    return true;
  }
  return false;
}

bool StatusPipeClient::FinishRead() {
  DWORD got = 0;
  BOOL ok = GetOverlappedResult(pipe.get(), &readOverlapped, &got, TRUE);
  readPending = false;
  if (!ok) return false;
  received.append(chunk, got);
  return true;
}

bool StatusPipeClient::TakePacket(StatusPacket* packet, bool* bad) {
  *bad = false;
  if (received.size() < 4) return false;
  uint32_t size = 0;
  std::memcpy(&size, received.data(), 4);
  if (size < kMinPayload || size > kMaxStatusPayload) {
    *bad = true;
    return false;
  }
  if (received.size() < 4 + static_cast<size_t>(size)) return false;
  const char* payload = received.data() + 4;
  *packet = StatusPacket{};
  packet->size = size;
  packet->kind = static_cast<uint8_t>(payload[0]);
  std::memcpy(&packet->code, payload + 1, 4);
  if (size >= 9) {
    std::memcpy(&packet->parameter, payload + 5, 4);
    packet->hasParameter = true;
  }
  received.erase(0, 4 + static_cast<size_t>(size));
  return true;
}

ReadResult StatusPipeClient::ReadPacket(StatusPacket* packet, DWORD timeoutMs) {
  ULONGLONG deadline = timeoutMs == INFINITE ? 0 : GetTickCount64() + timeoutMs;
  for (;;) {
    bool bad = false;
    if (TakePacket(packet, &bad)) return ReadResult::Packet;
    if (bad) return ReadResult::BadPacket;
    if (!pipe.valid() || !StartRead()) return ReadResult::Closed;
    DWORD wait = INFINITE;
    if (timeoutMs != INFINITE) {
      ULONGLONG now = GetTickCount64();
      wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    DWORD woken = WaitForSingleObject(readEvent.get(), wait);
    if (woken == WAIT_TIMEOUT) return ReadResult::Timeout;
    if (woken != WAIT_OBJECT_0 || !FinishRead()) return ReadResult::Closed;
  }
}

bool StatusPipeClient::WriteBytes(const void* bytes, DWORD size, DWORD timeoutMs) {
  if (!pipe.valid()) return false;
  OVERLAPPED overlapped = {};
  overlapped.hEvent = writeEvent.get();
  if (!WriteFile(pipe.get(), bytes, size, nullptr, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(writeEvent.get(), timeoutMs) != WAIT_OBJECT_0) {
      CancelIoEx(pipe.get(), &overlapped);
    }
  }
  DWORD written = 0;
  return GetOverlappedResult(pipe.get(), &overlapped, &written, TRUE) && written == size;
}

bool StatusPipeClient::SendRequest(int32_t code) {
  unsigned char request[9] = {5, 0, 0, 0, 0};
  std::memcpy(request + 5, &code, 4);
  return WriteBytes(request, sizeof request);
}

void StatusPipeClient::Close() {
  if (pipe.valid() && readPending) {
    CancelIoEx(pipe.get(), &readOverlapped);
    DWORD ignored = 0;
    GetOverlappedResult(pipe.get(), &readOverlapped, &ignored, TRUE);
  }
  readPending = false;
  pipe.reset();
  received.clear();
}
