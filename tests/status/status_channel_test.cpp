// The status pipe as the parent application meets it: replies to state
// requests, status packets, and which requests end a connection.
#include "status_fixture.h"

#include "status/packet.h"

namespace {

TEST_F(StatusChannelTest, AnswersStateRequestsWithTheTrackStates) {
  host.engineState = 3;
  host.appState = 7;
  Start();
  auto client = Connect();
  struct Case {
    int32_t code;
    int32_t state;
  } cases[] = {{1009, 7}, {1008, 3}, {1009, 7}};
  for (const auto& c : cases) {
    StatusPacket reply = Ask(*client, c.code);
    EXPECT_EQ(reply.size, 9u);
    EXPECT_EQ(reply.kind, 0);
    EXPECT_EQ(reply.code, c.code);
    EXPECT_EQ(reply.parameter, c.state);
  }
  host.appState = 8;
  EXPECT_EQ(Ask(*client, 1009).parameter, 8) << "read when asked, not cached";
  EXPECT_NE(StoppedLog().find("[ERRO] receive request(0, 1008)\r\n"), std::string::npos);
}

TEST_F(StatusChannelTest, OtherRequestsGetNoReplyAndKeepTheConnection) {
  Start();
  auto client = Connect();
  ASSERT_TRUE(Write(*client, RequestBytes(1, 1009)));
  ASSERT_TRUE(Write(*client, RequestBytes(0, 1010)));
  ASSERT_TRUE(Write(*client, RequestBytes(0, -1)));
  ASSERT_TRUE(Write(*client, RequestBytes(2, 1008, "tail")));
  // Only the last request is answered, on the same connection.
  StatusPacket reply = Ask(*client, 1008);
  EXPECT_EQ(reply.code, 1008);
  EXPECT_EQ(client->ReadPacket(&reply, 200), ReadResult::Timeout);
  std::string log = StoppedLog();
  for (const char* line : {"receive request(1, 1009)", "receive request(0, 1010)",
                           "receive request(0, -1)", "receive request(2, 1008)"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

TEST_F(StatusChannelTest, LargeRequestsAreAnsweredByTheirFirstFiveBytes) {
  Start();
  auto client = Connect();
  for (size_t size : {size_t{4096}, size_t{4097}, size_t{5000}, size_t{kMaxStatusPayload}}) {
    std::string request = RequestBytes(0, 1009, std::string(size - 5, '\x7f'));
    ASSERT_TRUE(client->WriteBytes(request.data(), static_cast<DWORD>(request.size()), 30000));
    StatusPacket reply;
    ASSERT_EQ(client->ReadPacket(&reply, 30000), ReadResult::Packet) << size;
    EXPECT_EQ(reply.code, 1009);
    EXPECT_EQ(reply.parameter, host.appState.load());
  }
}

TEST_F(StatusChannelTest, RequestsInPiecesAreReadWhole) {
  Start();
  auto client = Connect();
  std::string request = RequestBytes(0, 1008, "xyz");
  for (size_t cut : {size_t{1}, size_t{3}, size_t{4}, size_t{6}, size_t{11}}) {
    ASSERT_TRUE(Write(*client, request.substr(0, cut)));
    Sleep(50);
    ASSERT_TRUE(Write(*client, request.substr(cut)));
    StatusPacket reply;
    ASSERT_EQ(client->ReadPacket(&reply, 5000), ReadResult::Packet) << cut;
    EXPECT_EQ(reply.code, 1008);
  }
}

// A size that cannot be a request ends the connection; the server then makes
// a new instance for the next client.
TEST_F(StatusChannelTest, BadSizesEndTheConnectionAndTheNextClientIsServed) {
  struct Case {
    std::string bytes;
    const char* logged;
  } cases[] = {
      {SizeWord(0), "read data from client fail: return 1(0), bytes read: 0\r\n"},
      {SizeWord(kMaxStatusPayload + 1),
       "read data from client fail: return 1(0), bytes read: 4, packet size: 10485761\r\n"},
      {SizeWord(0xFFFFFFFFu), "bytes read: 4, packet size: -1\r\n"},
      // Too short to hold a code; the bytes after it must not become one.
      {SizeWord(1) + std::string(1, '\0') + RequestBytes(0, 1009),
       "request too short: packet size: 1\r\n"},
      {SizeWord(4) + std::string("\0\xf1\x03\0", 4), "request too short: packet size: 4\r\n"},
  };
  Start();
  for (const auto& c : cases) {
    auto client = Connect();
    ASSERT_TRUE(Write(*client, c.bytes));
    StatusPacket reply;
    EXPECT_EQ(client->ReadPacket(&reply, 5000), ReadResult::Closed) << c.logged;
    // The client keeps its end open while the next one connects.
    ExpectNextClientServed();
  }
  std::string log = StoppedLog();
  for (const auto& c : cases) EXPECT_NE(log.find(c.logged), std::string::npos) << c.logged;
  EXPECT_EQ(host.storedCode.load(), -1);
}

TEST_F(StatusChannelTest, StatusPacketsReachTheConnectedClient) {
  Start();
  auto client = Connect();
  // Whether the server has seen the connect yet: a request round trip says so.
  Ask(*client, 1008);
  EXPECT_TRUE(channel->SendStatus(2003));
  EXPECT_TRUE(channel->SendStatus(2009, 45));
  StatusPayload handover = MakeStatusPayload(2018, 187);
  EXPECT_TRUE(channel->WritePacket(handover.bytes, handover.size));
  struct Expected {
    uint32_t size;
    int32_t code;
    int32_t parameter;
  } expected[] = {{5, 2003, 0}, {9, 2009, 45}, {9, 2018, 187}};
  for (const auto& e : expected) {
    StatusPacket packet;
    ASSERT_EQ(client->ReadPacket(&packet, 5000), ReadResult::Packet);
    EXPECT_EQ(packet.size, e.size);
    EXPECT_EQ(packet.kind, 0);
    EXPECT_EQ(packet.code, e.code);
    EXPECT_EQ(packet.hasParameter, e.size == 9);
    if (packet.hasParameter) {
      EXPECT_EQ(packet.parameter, e.parameter);
    }
  }
}

TEST_F(StatusChannelTest, WithoutAClientStatusPacketsFail) {
  // No pipe yet: dropped silently.
  EXPECT_FALSE(channel->IsOpen());
  EXPECT_FALSE(channel->SendStatus(2003));
  EXPECT_FALSE(channel->SendStatus(2010, 1));
  EXPECT_EQ(ReadFileBytes(logFolder / L"Update.log"), "");
  // A pipe waiting for its client: every packet is a failed write.
  Start();
  EXPECT_FALSE(channel->SendStatus(2011));
  EXPECT_FALSE(channel->SendStatus(2016, 1));
  std::string log = StoppedLog();
  EXPECT_NE(log.find("write pack size for cmd 2011 failed: 536\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("write pack size for cmd 2016 failed: 536\r\n"), std::string::npos) << log;
  // After the teardown: no pipe, dropped silently again.
  EXPECT_FALSE(channel->SendStatus(2012));
  EXPECT_EQ(ReadFileBytes(logFolder / L"Update.log"), log);
}

TEST_F(StatusChannelTest, APipeNameTakenByAnotherServerStoresResultCode2) {
  HANDLE other = CreateNamedPipeW(host.pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                                  4096, 4096, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  channel->StartThread();
  for (int i = 0; i < 500 && host.storedCode.load() != 2; ++i) Sleep(10);
  EXPECT_EQ(host.storedCode.load(), 2);
  EXPECT_FALSE(channel->IsOpen());
  EXPECT_FALSE(channel->SendStatus(2003));
  std::string log = StoppedLog();
  EXPECT_NE(log.find("[ERRO] create pipe failed: 231\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("write pack"), std::string::npos);
  CloseHandle(other);
}

TEST_F(StatusChannelTest, ServesTheDefaultNameUnlessLpIsGiven) {
  EXPECT_EQ(channel->PipeName(), host.pipeName);
  FakeStatusHost plain;
  StatusChannel defaultChannel(plain);
  EXPECT_EQ(defaultChannel.PipeName(), L"\\\\.\\pipe\\{85634BBD-AE35-4cdd-83A9-C0720DD61F59}");
}

}  // namespace
