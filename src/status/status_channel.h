// The named-pipe server the parent application follows an update run through:
// a status thread accepts one client at a time and answers its requests for
// the track states, while the update run pushes status packets down the same
// pipe.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "app/collaborators.h"
#include "app/run_context.h"
#include "base/handles.h"

class StatusChannel : public IStatusChannel {
 public:
  explicit StatusChannel(IStatusHost& host);
  // Runs the teardown; the write lock goes with the object.
  ~StatusChannel() override;
  StatusChannel(const StatusChannel&) = delete;
  StatusChannel& operator=(const StatusChannel&) = delete;

  void StartThread() override;
  // Tells the status thread to stop, waits up to 5000 ms for it and closes
  // every handle of the channel. Safe to call more than once.
  void Stop() override;
  bool IsOpen() const override;
  bool SendStatus(int32_t code) override;
  bool SendStatus(int32_t code, int32_t parameter) override;
  bool WritePacket(const void* payload, uint32_t size) override;

  // The pipe name the status thread serves: "lp", or the default name.
  std::wstring PipeName() const;
  // True while any handle of the channel is open; none is after Stop().
  bool HoldsAnyHandle() const;

 private:
  struct ReadResult {
    BOOL result = FALSE;  // what the failing call returned (TRUE on success)
    DWORD error = 0;      // its system error code
    DWORD bytes = 0;      // bytes that arrived
  };

  static DWORD WINAPI ThreadEntry(void* channel);
  DWORD Serve();
  // Creates the pipe instance; false (logged, result code 2) when it fails.
  bool CreatePipeInstance(const std::wstring& name);
  // Starts the overlapped connect and waits for a client or the stop request.
  bool WaitForClient();
  // Answers requests until the client goes away or the channel stops.
  void ServeClient();
  // One request: false when the connection must end.
  bool ServeRequest(uint8_t* stackBuffer);
  // Reads exactly `size` bytes, across as many reads as the client needs.
  ReadResult ReadExactly(uint8_t* buffer, DWORD size);
  // One overlapped read on the event; success with 0 bytes once stopping.
  ReadResult ReadOnce(uint8_t* buffer, DWORD size);
  enum class IoWait { Completed, Stopped, Failed };
  // Waits for the pending I/O on `overlapped` or the stop request. Unless it
  // completed, the I/O is cancelled and drained before returning; Failed
  // comes with the wait's system error.
  IoWait WaitForIo(HANDLE ioEvent, OVERLAPPED& overlapped, DWORD* waitError);
  // Writes all of `bytes` to the pipe; the caller holds the write lock.
  bool WriteLocked(const void* bytes, DWORD size, DWORD* error);
  // Closes the pipe instance under the write lock. `dropClient` first cuts
  // the client off, so that the instance is gone even if it keeps its end.
  void ClosePipe(bool dropClient = false);
  bool Stopping() const { return stopFlag.load() != 0; }

  IStatusHost& host;
  // Replaced and closed only under the write lock; the status thread may read
  // it without the lock because no other thread changes it while it runs.
  zemora::UniqueFile pipe;
  zemora::UniqueHandle thread;
  // Manual-reset event for the overlapped connect and reads.
  zemora::UniqueHandle event;
  std::atomic<int32_t> stopFlag{0};
  zemora::CriticalSection writeLock;
  // Set by the teardown so that every wait of the status thread wakes up,
  // whatever it is waiting for at that moment.
  zemora::UniqueHandle stopEvent;
  // Completion event of packet writes; used under the write lock only.
  zemora::UniqueHandle writeEvent;
  // Mirrors pipe.valid() for readers that do not take the lock.
  std::atomic<bool> pipeOpen{false};
  // A status thread that did not end in time keeps its handles for good.
  bool threadAbandoned = false;
};
