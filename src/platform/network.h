// The network seam: one TCP connection for the mail checker's POP3 client,
// bounded HTTP(S) downloads for the resource files and alerts, and the wait of the thread that
// expects the server's replies while it keeps the window messages flowing.
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

// Bounds of one HTTP(S) transfer. Whatever a server does (stall after
// accepting, trickle bytes, send without end), the caller gets its thread
// back after about connectMs + totalMs, and no more than maxBytes of body
// are kept.
struct FetchLimits {
  uint32_t connectMs = 10000;
  uint32_t totalMs = 30000;
  uint64_t maxBytes = 16u * 1024u * 1024u;
};

enum class FetchStatus {
  kOk,             // a 2xx answer, its whole body received
  kBadUrl,         // not an http or https URL
  kUnsupported,    // this backend cannot fetch
  kConnectFailed,  // unresolvable, refused or not answered in time
  kHttpError,      // an answer other than 2xx: its body is an error page
  kTimedOut,       // the whole transfer took longer than allowed
  kTooLarge,       // the body is larger than allowed
  kIncomplete,     // the connection ended before the announced length
  kWriteFailed,    // the local file could not be written
  kFailed,         // any other transfer error
};

struct FetchResult {
  FetchStatus status = FetchStatus::kUnsupported;
  int httpStatus = 0;   // the server's status code, 0 when none arrived
  std::string message;  // what went wrong, for a person
  bool ok() const { return status == FetchStatus::kOk; }
};

// True when url starts with "http://" or "https://" in any case: the only
// addresses the download backends fetch.
bool HasHttpScheme(const std::string& url);

class Network {
 public:
  virtual ~Network() = default;

  // Reads the body of url into *body, within limits. On failure *body holds
  // whatever arrived and must not be used.
  virtual FetchResult FetchToString(const std::string& url, const FetchLimits& limits,
                                    std::string* body) {
    (void)url;
    (void)limits;
    body->clear();
    return {FetchStatus::kUnsupported, 0, "no downloads on this network"};
  }
  // Writes the body of url into the file at path (created or truncated),
  // within limits. On failure the file may hold part of the body: callers
  // download into a file of their own and move it into place afterwards.
  virtual FetchResult FetchToFile(const std::string& url, const FetchLimits& limits,
                                  const std::string& path) {
    (void)url;
    (void)limits;
    (void)path;
    return {FetchStatus::kUnsupported, 0, "no downloads on this network"};
  }

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
