// A real StatusChannel on a pipe name of its own, a host whose states the
// test sets, real pipe clients, and the log in a private folder.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "log/log.h"
#include "protocol_client.h"
#include "status/status_channel.h"
#include "support/temp_folder.h"

class FakeStatusHost : public IStatusHost {
 public:
  std::wstring PipeNameOption() const override { return pipeName; }
  int32_t EngineState() const override { return engineState.load(); }
  int32_t AppState() const override { return appState.load(); }
  void StoreResultCode(int32_t code) override { storedCode.store(code); }

  std::wstring pipeName;
  std::atomic<int32_t> engineState{1};
  std::atomic<int32_t> appState{4};
  std::atomic<int32_t> storedCode{-1};
};

// A request as a client puts it on the wire: size word, kind, code, then
// `tail` (the size word counts the payload that follows it, tail included).
inline std::string RequestBytes(uint8_t kind, int32_t code, const std::string& tail = "") {
  uint32_t size = static_cast<uint32_t>(5 + tail.size());
  std::string bytes(9, '\0');
  std::memcpy(&bytes[0], &size, 4);
  bytes[4] = static_cast<char>(kind);
  std::memcpy(&bytes[5], &code, 4);
  return bytes + tail;
}

inline std::string SizeWord(uint32_t size) { return std::string(reinterpret_cast<char*>(&size), 4); }

// Threads of this process, for telling that the status thread has ended.
inline int ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  if (Thread32First(snapshot, &entry)) {
    do {
      if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    } while (Thread32Next(snapshot, &entry));
  }
  CloseHandle(snapshot);
  return count;
}

class StatusChannelTest : public ::testing::Test {
 protected:
  StatusChannelTest() {
    static std::atomic<int> serial{0};
    host.pipeName = L"\\\\.\\pipe\\zemora-status-test-" + std::to_wstring(GetCurrentProcessId()) +
                    L"-" + std::to_wstring(serial++);
    WriteFileBytes(logFolder / L"Update.log", "");
    OpenLog(logFolder.path());
    baselineThreads = ThreadCount();
    channel = std::make_unique<StatusChannel>(host);
  }
  ~StatusChannelTest() override {
    channel.reset();
    CloseLog();
  }

  // Starts the status thread and waits until its pipe exists.
  void Start() {
    channel->StartThread();
    for (int i = 0; i < 500 && !channel->IsOpen(); ++i) Sleep(10);
    ASSERT_TRUE(channel->IsOpen());
  }
  // A client connected to the channel's pipe.
  std::unique_ptr<StatusPipeClient> Connect() {
    auto client = std::make_unique<StatusPipeClient>();
    EXPECT_EQ(client->Connect(host.pipeName, 5000), ConnectResult::Connected);
    return client;
  }
  static bool Write(StatusPipeClient& client, const std::string& bytes) {
    return client.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size()));
  }
  // The reply to one state request on `client`.
  static StatusPacket Ask(StatusPipeClient& client, int32_t code) {
    StatusPacket reply;
    EXPECT_TRUE(client.SendRequest(code));
    EXPECT_EQ(client.ReadPacket(&reply, 5000), ReadResult::Packet);
    return reply;
  }
  // The next client is served: the server came back after whatever happened.
  void ExpectNextClientServed() {
    auto next = Connect();
    StatusPacket reply = Ask(*next, 1009);
    EXPECT_EQ(reply.code, 1009);
    EXPECT_EQ(reply.parameter, host.appState.load());
  }
  // The log text after the status thread has stopped writing to it.
  std::string StoppedLog() {
    channel->Stop();
    return ReadFileBytes(logFolder / L"Update.log");
  }

  TempFolder logFolder;
  FakeStatusHost host;
  int baselineThreads = 0;
  std::unique_ptr<StatusChannel> channel;
};
