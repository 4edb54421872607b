// The client's failures that a real server cannot provoke at will: a socket
// library that does not start, sockets that cannot be made or watched,
// failing sends and receives. A network double stands in for the sockets.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "mail/pop3_client.h"
#include "mail_test_support.h"
#include "platform/network.h"
#include "support/fake_message_pump.h"

namespace qv::mail {
namespace {

struct ScriptedReceive {
  RecvStatus status;
  std::string bytes;
};

class FakeConnection : public TcpConnection {
 public:
  FakeConnection(NetStatus watch, bool sendFails, std::deque<ScriptedReceive> receives)
      : watch_(watch), sendFails_(sendFails), receives_(std::move(receives)) {}
  long Send(const void*, size_t size) override { return sendFails_ ? -1 : static_cast<long>(size); }
  NetStatus StartWatching() override { return watch_; }
  void StopWatching() override {}
  uint32_t WaitForEvents() override {
    std::unique_lock<std::mutex> lock(mutex_);
    woken_.wait(lock, [this] { return wake_ || !receives_.empty(); });
    return wake_ ? kNetWoken : kNetRead;
  }
  RecvStatus Receive(char* buffer, size_t size, size_t* received) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (receives_.empty()) return RecvStatus::kWouldBlock;
    const ScriptedReceive next = receives_.front();
    receives_.pop_front();
    *received = std::min(size, next.bytes.size());
    next.bytes.copy(buffer, *received);
    return next.status;
  }
  void Wake() override {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_ = true;
    woken_.notify_all();
  }

 private:
  NetStatus watch_;
  bool sendFails_;
  std::mutex mutex_;
  std::condition_variable woken_;
  std::deque<ScriptedReceive> receives_;
  bool wake_ = false;
};

class FakeNetwork : public Network {
 public:
  bool Startup() override { return startup; }
  void Cleanup() override {}
  NetStatus Connect(const std::string&, uint16_t, uint32_t,
                    std::unique_ptr<TcpConnection>* connection) override {
    if (connect != NetStatus::kOk) return connect;
    *connection = std::make_unique<FakeConnection>(watch, sendFails, receives);
    return NetStatus::kOk;
  }

  bool startup = true;
  NetStatus connect = NetStatus::kOk;
  NetStatus watch = NetStatus::kOk;
  bool sendFails = false;
  std::deque<ScriptedReceive> receives = {{RecvStatus::kData, "+OK ready\r\n"}};
};

class Pop3FaultTest : public test::MailRegistryTest {
 protected:
  Pop3FaultTest() : client_(network_, pump_) { client_.SetAccountId("4"); }
  void ExpectError(const std::string& last, const std::string& stored) {
    EXPECT_EQ(client_.LastError(), last);
    EXPECT_EQ(Text("AccountError4"), stored);
  }

  FakeNetwork network_;
  test::FakeMessagePump pump_;
  Pop3Client client_;
};

TEST_F(Pop3FaultTest, ConnectFailures) {
  network_.startup = false;
  EXPECT_FALSE(client_.Connect("h", 110));
  ExpectError("Initialize Socket Fail!", "Initialize Socket Fail!");
  network_.startup = true;
  network_.connect = NetStatus::kSocketFailed;
  EXPECT_FALSE(client_.Connect("h", 110));
  ExpectError("Failed to create socket!", "Failed to create socket!");
  network_.connect = NetStatus::kConnectFailed;
  EXPECT_FALSE(client_.Connect("h", 110));
  ExpectError("Failed to connect to POP3 Server!", "Failed to connect to POP3 Server!");
}

TEST_F(Pop3FaultTest, ReaderThatCannotWatchEndsTheWaitAtOnce) {
  for (NetStatus watch : {NetStatus::kEventCreateFailed, NetStatus::kEventSelectFailed}) {
    network_.watch = watch;
    EXPECT_FALSE(client_.Connect("h", 110));
    // The reader's own text is overwritten by the waiter's.
    ExpectError("Receive Buffer is empty!", "Receive Buffer is empty!");
    EXPECT_FALSE(client_.IsConnected());
  }
}

TEST_F(Pop3FaultTest, FailedSendDropsTheConnection) {
  network_.sendFails = true;
  ASSERT_TRUE(client_.Connect("h", 110));
  EXPECT_FALSE(client_.Login("bob", "pw", false));
  ExpectError("Socket error!", "Socket error!");
  EXPECT_FALSE(client_.IsConnected());
}

TEST_F(Pop3FaultTest, FailedReceiveEndsTheReader) {
  network_.receives = {{RecvStatus::kError, ""}};
  EXPECT_FALSE(client_.Connect("h", 110));
  // The read error is the client's own note; the account keeps the wait's.
  ExpectError("Receive Buffer is empty!", "Receive Buffer is empty!");
  EXPECT_FALSE(client_.IsConnected());
}

TEST_F(Pop3FaultTest, ChunkRunEndsWhenNothingMoreIsThere) {
  // Exactly one full chunk and then "would block": the reply is complete.
  std::string full = "+OK " + std::string(kChunkSize - 6, 'x') + "\r\n";
  network_.receives = {{RecvStatus::kData, full}};
  ASSERT_TRUE(client_.Connect("h", 110));
  ExpectError("", "<absent>");
}

}  // namespace
}  // namespace qv::mail
