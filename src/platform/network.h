// The network seam: one TCP connection for the mail checker's POP3 client,
// and the wait of the thread that expects the server's replies while it keeps
// the window messages flowing.
//
// A connection is read by its own reader thread: it finishes the connect,
// starts watching the socket, then waits for socket events until another
// thread wakes it. The other thread, which never blocks on the network,
// sends commands on the same connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qv {

enum class NetStatus {
  kOk,
  kStartupFailed,      // the socket library could not be initialised
  kSocketFailed,       // no socket could be created
  kHostnameError,      // the name does not resolve
  kConnectFailed,      // refused, unreachable or not answered in time
  kEventCreateFailed,  // the reader's socket event could not be created
  kEventSelectFailed,  // the socket could not be tied to that event
};

// Bits of a wait's outcome. Several may be set at once.
inline constexpr uint32_t kNetRead = 1;    // bytes (or the end of the stream) can be received
inline constexpr uint32_t kNetClose = 2;   // the peer closed the connection
inline constexpr uint32_t kNetWoken = 4;   // Wake was called
inline constexpr uint32_t kNetFailed = 8;  // the network subsystem failed; waiting is pointless

enum class RecvStatus { kData, kWouldBlock, kClosed, kError };

class TcpConnection {
 public:
  // Shuts the socket down for receiving and closes it.
  virtual ~TcpConnection() = default;

  // Reader side, first of all: waits until the connect that StartConnect
  // began stands (kOk) or fails (kConnectFailed). A Wake ends the wait with
  // kConnectFailed. No time limit of its own: the thread that waits for the
  // connection keeps the time-out and wakes the reader when it runs out.
  virtual NetStatus FinishConnect() = 0;

  // One send call of the whole buffer: the number of bytes the system took
  // (possibly fewer than size), or -1 on a socket error.
  virtual long Send(const void* data, size_t size) = 0;

  // Reader side. StartWatching makes the socket non-blocking and ties it to
  // the reader's event; StopWatching releases that event. Both run on the
  // reader thread.
  virtual NetStatus StartWatching() = 0;
  virtual void StopWatching() = 0;
  // Blocks until a socket event or a Wake; no time limit.
  virtual uint32_t WaitForEvents() = 0;
  // Non-blocking receive of up to size bytes.
  virtual RecvStatus Receive(char* buffer, size_t size, size_t* received) = 0;

  // Any thread: makes the current and every later WaitForEvents return
  // kNetWoken.
  virtual void Wake() = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  // WSAStartup / WSACleanup; counted, so every successful Startup needs one
  // Cleanup.
  virtual bool Startup() = 0;
  virtual void Cleanup() = 0;
  // Resolves host (a name, or a dotted IPv4 address used as it is) and
  // starts connecting to port without waiting: the connection comes back at
  // once, and FinishConnect on the reader thread learns how the connect
  // ends. kConnectFailed only when the system refuses the attempt at once.
  virtual NetStatus StartConnect(const std::string& host, uint16_t port,
                                 std::unique_ptr<TcpConnection>* connection) = 0;
};

// A manual-reset event that one thread sets and another waits on.
class WaitableEvent {
 public:
  virtual ~WaitableEvent() = default;
  virtual void Set() = 0;
  virtual void Reset() = 0;
};

enum class PumpWait { kSignalled, kTimeout, kInput, kFailed };

// How a thread that must keep its windows alive waits. On Windows this is the
// thread's message queue; natively there are no messages and the wait is a
// plain one.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // A manual-reset event, not signalled. name is a debugging aid: events of
  // different clients never share a kernel object.
  virtual std::unique_ptr<WaitableEvent> MakeEvent(const std::string& name) = 0;
  // Removes and dispatches every message queued to the calling thread. A quit
  // message stops it: false, with its exit code in *exitCode; the quit message
  // is then consumed and the caller must PostQuit it again.
  virtual bool DispatchQueued(int* exitCode) = 0;
  // Waits until the event is set, input arrives for the calling thread, or
  // timeoutMs pass.
  virtual PumpWait WaitForEventOrInput(WaitableEvent& event, uint32_t timeoutMs) = 0;
  virtual void PostQuit(int exitCode) = 0;
  // Dispatches what was posted to a worker thread's own queue, without
  // removing a quit message. Nothing natively.
  virtual void DispatchWorkerQueue() = 0;
};

}  // namespace qv
