// The channel's lifecycle and its packet writer. The status thread's server
// loop is in status_server.cpp.
#include "status/status_channel.h"

#include <cstring>

#include "app/status_codes.h"
#include "log/log.h"
#include "status/packet.h"

namespace {
const DWORD kThreadStopWaitMs = 5000;

int32_t PayloadCode(const void* payload, uint32_t size) {
  int32_t code = 0;
  if (size >= 5) std::memcpy(&code, static_cast<const uint8_t*>(payload) + 1, 4);
  return code;
}
}  // namespace

StatusChannel::StatusChannel(IStatusHost& host) : host(host) {}

StatusChannel::~StatusChannel() { Stop(); }

std::wstring StatusChannel::PipeName() const {
  std::wstring name = host.PipeNameOption();
  return name.empty() ? std::wstring(kDefaultStatusPipeName) : name;
}

void StatusChannel::StartThread() {
  if (thread || threadAbandoned) return;
  stopFlag.store(0);
  stopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  writeEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent || !writeEvent) {
    Log(Error, "create event failed: %d", static_cast<int>(GetLastError()));
    stopEvent.reset();
    writeEvent.reset();
    host.StoreResultCode(result::kPipeCreateFailed);
    return;
  }
  thread.reset(CreateThread(nullptr, 0, &StatusChannel::ThreadEntry, this, 0, nullptr));
}

void StatusChannel::Stop() {
  stopFlag.store(1);
  if (threadAbandoned) return;
  // The status thread closes the pipe itself once it wakes; its handles are
  // only released here after it has ended, so no wait or write of that
  // thread ever sees a handle closed under it.
  if (stopEvent) SetEvent(stopEvent.get());
  bool threadEnded = true;
  if (thread) {
    threadEnded = WaitForSingleObject(thread.get(), kThreadStopWaitMs) == WAIT_OBJECT_0;
    thread.reset();
  }
  // A thread that did not end keeps what it still uses.
  if (!threadEnded) {
    threadAbandoned = true;
    return;
  }
  event.reset();
  ClosePipe();
  zemora::ScopedLock lock(writeLock);
  writeEvent.reset();
  stopEvent.reset();
}

bool StatusChannel::IsOpen() const { return pipeOpen.load(); }

bool StatusChannel::HoldsAnyHandle() const {
  return pipeOpen.load() || thread || event || stopEvent || writeEvent;
}

bool StatusChannel::SendStatus(int32_t code) {
  if (!IsOpen()) return false;
  StatusPayload packet = MakeStatusPayload(code);
  return WritePacket(packet.bytes, packet.size);
}

bool StatusChannel::SendStatus(int32_t code, int32_t parameter) {
  if (!IsOpen()) return false;
  StatusPayload packet = MakeStatusPayload(code, parameter);
  return WritePacket(packet.bytes, packet.size);
}

bool StatusChannel::WritePacket(const void* payload, uint32_t size) {
  int32_t code = PayloadCode(payload, size);
  zemora::ScopedLock lock(writeLock);
  DWORD error = 0;
  if (!WriteLocked(&size, sizeof size, &error)) {
    Log(Error, "write pack size for cmd %d failed: %d", code, static_cast<int>(error));
    return false;
  }
  if (!WriteLocked(payload, size, &error)) {
    Log(Error, "write reply pack for cmd %d failed: %d", code, static_cast<int>(error));
    return false;
  }
  return true;
}

bool StatusChannel::WriteLocked(const void* bytes, DWORD size, DWORD* error) {
  // The pipe is overlapped, so even a write that the caller waits for needs
  // its own OVERLAPPED: a null one would let completion race the stack.
  if (!pipe.valid() || !writeEvent) {
    *error = ERROR_INVALID_HANDLE;
    return false;
  }
  OVERLAPPED overlapped = {};
  overlapped.hEvent = writeEvent.get();
  if (!WriteFile(pipe.get(), bytes, size, nullptr, &overlapped)) {
    *error = GetLastError();
    if (*error != ERROR_IO_PENDING) return false;
    IoWait waited = WaitForIo(writeEvent.get(), overlapped, error);
    if (waited == IoWait::Stopped) *error = ERROR_OPERATION_ABORTED;
    if (waited != IoWait::Completed) return false;
  }
  DWORD written = 0;
  if (!GetOverlappedResult(pipe.get(), &overlapped, &written, TRUE)) {
    *error = GetLastError();
    return false;
  }
  if (written < size) {
    *error = ERROR_WRITE_FAULT;
    return false;
  }
  *error = 0;
  return true;
}

StatusChannel::IoWait StatusChannel::WaitForIo(HANDLE ioEvent, OVERLAPPED& overlapped,
                                               DWORD* waitError) {
  HANDLE waits[2] = {ioEvent, stopEvent.get()};
  DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  if (woken == WAIT_OBJECT_0) return IoWait::Completed;
  IoWait outcome = woken == WAIT_OBJECT_0 + 1 ? IoWait::Stopped : IoWait::Failed;
  if (outcome == IoWait::Failed) *waitError = GetLastError();
  // The I/O must be over before `overlapped` goes out of scope.
  CancelIoEx(pipe.get(), &overlapped);
  DWORD ignored = 0;
  GetOverlappedResult(pipe.get(), &overlapped, &ignored, TRUE);
  return outcome;
}

void StatusChannel::ClosePipe(bool dropClient) {
  // A packet write blocked on a client that stops reading holds the lock;
  // cancelling it lets the close go ahead.
  if (pipe.valid()) CancelIoEx(pipe.get(), nullptr);
  zemora::ScopedLock lock(writeLock);
  if (dropClient && pipe.valid()) DisconnectNamedPipe(pipe.get());
  pipe.reset();
  pipeOpen.store(false);
}
