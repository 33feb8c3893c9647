// The client end of the updater's status pipe: connect, read whole packets,
// send requests. Overlapped I/O, so that a pending read never holds up a
// request written meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/handles.h"

struct StatusPacket {
  uint32_t size = 0;  // payload size
  uint8_t kind = 0;
  int32_t code = 0;
  int32_t parameter = 0;
  bool hasParameter = false;  // payload of 9 bytes or more
};

enum class ConnectResult { Connected, NoServer, Failed };
enum class ReadResult { Packet, Timeout, Closed, BadPacket };

// "\\.\pipe\NAME" for a bare NAME; full names are kept.
std::wstring FullPipeName(const std::wstring& name);

class StatusPipeClient {
 public:
  StatusPipeClient();
  ~StatusPipeClient();
  StatusPipeClient(const StatusPipeClient&) = delete;
  StatusPipeClient& operator=(const StatusPipeClient&) = delete;

  // Tries until the server accepts or `waitMs` has passed. `error` gets the
  // system error of the last attempt.
  ConnectResult Connect(const std::wstring& pipeName, DWORD waitMs, DWORD* error = nullptr);
  bool Connected() const { return pipe.valid(); }
  // Waits up to `timeoutMs` (INFINITE allowed) for the next whole packet.
  // Closed: the server closed the pipe (or a read failed); BadPacket: a size
  // outside 5 .. 10,485,760, after which the stream cannot be trusted.
  ReadResult ReadPacket(StatusPacket* packet, DWORD timeoutMs);
  // A request with kind 0 and `code` (a 5-byte payload).
  bool SendRequest(int32_t code);
  // Any bytes, as they are; for probing the server.
  bool WriteBytes(const void* bytes, DWORD size, DWORD timeoutMs = 10000);
  // Ends a pending read and closes the pipe.
  void Close();

 private:
  // Starts a read unless one is pending; false when the pipe has closed.
  bool StartRead();
  // Collects a completed read into `received`; false when the pipe closed.
  bool FinishRead();
  // A whole packet at the front of `received`, if there is one.
  bool TakePacket(StatusPacket* packet, bool* bad);

  zemora::UniqueFile pipe;
  zemora::UniqueHandle readEvent;
  zemora::UniqueHandle writeEvent;
  OVERLAPPED readOverlapped = {};
  bool readPending = false;
  char chunk[4096];
  std::string received;
};
