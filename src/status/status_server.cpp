// The status thread: one pipe instance at a time, one client at a time, and
// the answers to its requests for the track states.
#include <cstring>
#include <memory>
#include <new>

#include "app/status_codes.h"
#include "log/log.h"
#include "status/packet.h"
#include "status/status_channel.h"

namespace {
const DWORD kPipeBufferSize = 10485760;
const DWORD kStackRequestSize = 4096;
// A request needs its kind byte and its code.
const uint32_t kMinRequestSize = 5;
}  // namespace

DWORD WINAPI StatusChannel::ThreadEntry(void* channel) {
  return static_cast<StatusChannel*>(channel)->Serve();
}

DWORD StatusChannel::Serve() {
  std::wstring name = PipeName();
  event.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  if (!event) {
    Log(Error, "create event failed: %d", static_cast<int>(GetLastError()));
    host.StoreResultCode(result::kPipeCreateFailed);
    return 0;
  }
  while (!Stopping()) {
    if (!CreatePipeInstance(name)) break;
    if (!WaitForClient()) continue;
    if (Stopping()) break;
    ServeClient();
  }
  ClosePipe();
  return 0;
}

bool StatusChannel::CreatePipeInstance(const std::wstring& name) {
  HANDLE created = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                    kPipeBufferSize, kPipeBufferSize, 0, nullptr);
  if (created == INVALID_HANDLE_VALUE) {
    Log(Error, "create pipe failed: %d", static_cast<int>(GetLastError()));
    host.StoreResultCode(result::kPipeCreateFailed);
    return false;
  }
  zemora::ScopedLock lock(writeLock);
  pipe.reset(created);
  pipeOpen.store(true);
  return true;
}

bool StatusChannel::WaitForClient() {
  OVERLAPPED overlapped = {};
  overlapped.hEvent = event.get();
  if (ConnectNamedPipe(pipe.get(), &overlapped)) {
    SetEvent(event.get());
  } else {
    DWORD error = GetLastError();
    if (error == ERROR_PIPE_CONNECTED) {
      SetEvent(event.get());
    } else if (error != ERROR_IO_PENDING) {
      Log(Error, "wait for pipe connect failed: %d", static_cast<int>(error));
      ClosePipe();
      return false;
    }
  }
  DWORD waitError = 0;
  IoWait waited = WaitForIo(event.get(), overlapped, &waitError);
  if (waited == IoWait::Failed) {
    Log(Error, "wait for pipe client connect failed: %d", static_cast<int>(waitError));
    ClosePipe();
    return false;
  }
  return true;
}

void StatusChannel::ServeClient() {
  uint8_t buffer[kStackRequestSize];
  std::memset(buffer, 0, sizeof buffer);
  while (ServeRequest(buffer)) {
  }
  // Cut a client we give up on loose, so that the next instance can be made
  // even if it keeps its end open. At a stop, what was written stays
  // readable for the client instead.
  ClosePipe(!Stopping());
}

bool StatusChannel::ServeRequest(uint8_t* stackBuffer) {
  uint32_t size = 0;
  ReadResult read = ReadExactly(reinterpret_cast<uint8_t*>(&size), sizeof size);
  if (!read.result || read.bytes < sizeof size || size > kMaxStatusPayload) {
    Log(Error, "read data from client fail: return %d(%d), bytes read: %d, packet size: %d",
        read.result, static_cast<int>(read.error), static_cast<int>(read.bytes),
        static_cast<int>(size));
    return false;
  }
  if (Stopping()) return false;
  // Too short to hold a code: nothing in it can be answered, and the bytes
  // after it would be read as its code.
  if (size > 0 && size < kMinRequestSize) {
    Log(Error, "request too short: packet size: %d", static_cast<int>(size));
    return false;
  }

  uint8_t* buffer = stackBuffer;
  std::unique_ptr<uint8_t[]> heapBuffer;
  if (size > kStackRequestSize) {
    heapBuffer.reset(new (std::nothrow) uint8_t[size]());
    if (!heapBuffer) {
      Log(Error, "allocate request buffer failed: packet size: %d", static_cast<int>(size));
      return false;
    }
    buffer = heapBuffer.get();
  }
  read = ReadExactly(buffer, size);
  if (!read.result || read.bytes == 0 || read.bytes < size) {
    Log(Error, "read data from client fail: return %d(%d), bytes read: %d", read.result,
        static_cast<int>(read.error), static_cast<int>(read.bytes));
    return false;
  }
  if (Stopping()) return false;

  uint8_t kind = buffer[0];
  int32_t code = 0;
  std::memcpy(&code, buffer + 1, sizeof code);
  Log(Error, "receive request(%d, %d)", kind, code);
  if (kind == 0 && (code == status::kEngineStateRequest || code == status::kAppStateRequest) &&
      pipe.valid()) {
    int32_t state = code == status::kEngineStateRequest ? host.EngineState() : host.AppState();
    StatusPayload reply = MakeStatusPayload(code, state);
    WritePacket(reply.bytes, reply.size);
  }
  return true;
}

StatusChannel::ReadResult StatusChannel::ReadExactly(uint8_t* buffer, DWORD size) {
  // A byte stream may hand over a packet in pieces; a size of 0 is not read
  // at all, since a read of nothing waits for the next byte to arrive.
  ReadResult total;
  total.result = TRUE;
  while (total.bytes < size) {
    ReadResult part = ReadOnce(buffer + total.bytes, size - total.bytes);
    if (!part.result || part.bytes == 0) {
      part.bytes = total.bytes;
      return part;
    }
    total.bytes += part.bytes;
  }
  return total;
}

StatusChannel::ReadResult StatusChannel::ReadOnce(uint8_t* buffer, DWORD size) {
  ReadResult outcome;
  OVERLAPPED overlapped = {};
  overlapped.hEvent = event.get();
  if (!ReadFile(pipe.get(), buffer, size, nullptr, &overlapped)) {
    outcome.error = GetLastError();
    if (outcome.error != ERROR_IO_PENDING) {
      Log(Error, "read data from pipe failed: %d", static_cast<int>(outcome.error));
      return outcome;
    }
    DWORD waitError = 0;
    IoWait waited = WaitForIo(event.get(), overlapped, &waitError);
    if (waited == IoWait::Failed) {
      Log(Error, "wait for overlapped read/write event failed: %d", static_cast<int>(waitError));
      outcome.error = waitError;
      return outcome;
    }
    outcome.error = 0;
    if (waited == IoWait::Stopped) {
      outcome.result = TRUE;
      return outcome;
    }
  }
  if (Stopping()) {
    outcome.result = TRUE;
    return outcome;
  }
  if (!GetOverlappedResult(pipe.get(), &overlapped, &outcome.bytes, TRUE)) {
    outcome.error = GetLastError();
    outcome.bytes = 0;
    Log(Error, "get overlapped result failed: %d", static_cast<int>(outcome.error));
    return outcome;
  }
  outcome.result = TRUE;
  return outcome;
}
