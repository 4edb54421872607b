// The client's failures that a real server cannot provoke at will: a socket
// library that does not start, sockets that cannot be made or watched,
// failing sends and receives. A network double stands in for the sockets.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
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

// How the connect that a fake connection starts ends.
enum class ConnectEnd { kAtOnce, kRefused, kWhenReleased };

// Holds a connect pending until the test releases it or the client wakes
// the reader.
class ConnectGate {
 public:
  void Release() { Open(&released_); }
  void Wake() { Open(&woken_); }
  // True when released, false when woken first.
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return released_ || woken_; });
    return released_;
  }

 private:
  void Open(bool* flag) {
    std::lock_guard<std::mutex> lock(mutex_);
    *flag = true;
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  bool woken_ = false;
};

class FakeConnection : public TcpConnection {
 public:
  FakeConnection(NetStatus watch, bool sendFails, std::deque<ScriptedReceive> receives,
                 ConnectEnd connectEnd, std::shared_ptr<ConnectGate> gate)
      : watch_(watch),
        sendFails_(sendFails),
        receives_(std::move(receives)),
        connectEnd_(connectEnd),
        gate_(std::move(gate)) {}
  NetStatus FinishConnect() override {
    switch (connectEnd_) {
      case ConnectEnd::kAtOnce:
        return NetStatus::kOk;
      case ConnectEnd::kRefused:
        return NetStatus::kConnectFailed;
      case ConnectEnd::kWhenReleased:
        return gate_->Wait() ? NetStatus::kOk : NetStatus::kConnectFailed;
    }
    return NetStatus::kConnectFailed;
  }
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
    gate_->Wake();
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
  ConnectEnd connectEnd_;
  std::shared_ptr<ConnectGate> gate_;
};

class FakeNetwork : public Network {
 public:
  bool Startup() override { return startup; }
  void Cleanup() override {}
  NetStatus StartConnect(const std::string&, uint16_t,
                         std::unique_ptr<TcpConnection>* connection) override {
    if (connect != NetStatus::kOk) return connect;
    *connection = std::make_unique<FakeConnection>(watch, sendFails, receives, connectEnd, gate);
    return NetStatus::kOk;
  }

  bool startup = true;
  NetStatus connect = NetStatus::kOk;
  NetStatus watch = NetStatus::kOk;
  bool sendFails = false;
  std::deque<ScriptedReceive> receives = {{RecvStatus::kData, "+OK ready\r\n"}};
  ConnectEnd connectEnd = ConnectEnd::kAtOnce;
  std::shared_ptr<ConnectGate> gate = std::make_shared<ConnectGate>();
};

// Window input keeps arriving while the client waits; each time the client
// dispatches it, the test's hook runs (as a window procedure would).
class HookPump : public test::FakeMessagePump {
 public:
  HookPump() { SetInputEvery(5); }
  bool DispatchQueued(int* exitCode) override {
    if (hook) hook();
    return FakeMessagePump::DispatchQueued(exitCode);
  }
  std::function<void()> hook;
};

class Pop3FaultTest : public test::MailRegistryTest {
 protected:
  Pop3FaultTest() : client_(network_, pump_) { client_.SetAccountId("4"); }
  void ExpectError(const std::string& last, const std::string& stored) {
    EXPECT_EQ(client_.LastError(), last);
    EXPECT_EQ(Text("AccountError4"), stored);
  }

  FakeNetwork network_;
  HookPump pump_;
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

TEST_F(Pop3FaultTest, MessagesAreDispatchedWhileTheConnectIsPending) {
  network_.connectEnd = ConnectEnd::kWhenReleased;
  int dispatches = 0;
  // The connect ends only once the waiting thread has dispatched its
  // messages three times: a thread blocked in the connect never would.
  pump_.hook = [&] {
    if (++dispatches == 3) network_.gate->Release();
  };
  EXPECT_TRUE(client_.Connect("h", 110));
  EXPECT_GE(dispatches, 3);
  EXPECT_TRUE(client_.IsConnected());
  ExpectError("", "<absent>");
}

TEST_F(Pop3FaultTest, QuitMessageDuringTheConnectEndsIt) {
  network_.connectEnd = ConnectEnd::kWhenReleased;  // never released
  int dispatches = 0;
  pump_.hook = [&] {
    if (++dispatches == 2) pump_.QueueQuit(7);
  };
  EXPECT_FALSE(client_.Connect("h", 110));
  EXPECT_EQ(pump_.PostedQuit(), 7);  // put back for the thread's own loop
  EXPECT_FALSE(client_.IsConnected());
  ExpectError("Mail check cancelled!", "Mail check cancelled!");
  // The pending reader was woken and is gone: a new connect works.
  network_.connectEnd = ConnectEnd::kAtOnce;
  pump_.hook = nullptr;
  EXPECT_TRUE(client_.Connect("h", 110));
}

TEST_F(Pop3FaultTest, ConnectThatFailsOrNeverEnds) {
  network_.connectEnd = ConnectEnd::kRefused;
  EXPECT_FALSE(client_.Connect("h", 110));
  ExpectError("Failed to connect to POP3 Server!", "Failed to connect to POP3 Server!");
  EXPECT_FALSE(client_.IsConnected());
  // Never answered: the connect time-out ends it, messages flowing or not.
  network_.connectEnd = ConnectEnd::kWhenReleased;
  client_.SetConnectTimeout(100);
  EXPECT_FALSE(client_.Connect("h", 110));
  ExpectError("Failed to connect to POP3 Server!", "Failed to connect to POP3 Server!");
  EXPECT_FALSE(client_.IsConnected());
}

}  // namespace
}  // namespace qv::mail
