// Pop3Client: the mail checker's own POP3 client. It does what a new-mail
// count needs and no more: connect, read the greeting, log in with USER/PASS
// or APOP, ask STAT, send QUIT and close.
//
// The caller's thread (the browser's user-interface thread) sends commands
// and waits for each reply while it keeps dispatching window messages. A
// reader thread per connection gathers the reply bytes and signals the
// waiting thread when a reply is complete.
//
// Every failure becomes a short English text, kept as the last error and
// stored as the account's error value, which the mail indicator shows.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/network.h"

namespace qv::mail {

inline constexpr uint16_t kPop3Port = 110;
// The largest number of bytes one receive asks for.
inline constexpr size_t kChunkSize = 2048;
// How long a wait for a reply may go without any activity.
inline constexpr uint32_t kReplyTimeoutMs = 3000;
// A whole wait ends after this long even while messages or bytes keep
// arriving, so a server that trickles bytes cannot hold the check forever.
inline constexpr uint32_t kReplyWaitLimitMs = 30000;
// A status line may be 512 octets; anything far beyond that is hostile.
inline constexpr size_t kMaxReplyBytes = 64 * 1024;
// Command lines (CR LF included) longer than this are refused: servers
// need not accept more.
inline constexpr size_t kMaxCommandLine = 255;
// How long the connect to the server may take; the caller's thread keeps
// dispatching messages meanwhile.
inline constexpr uint32_t kConnectTimeoutMs = 10000;

class Pop3Client {
 public:
  // Uses the process's network and message-pump backends.
  Pop3Client();
  Pop3Client(Network& network, MessagePump& pump);
  // Stops the reader thread before the client's memory goes.
  virtual ~Pop3Client();
  Pop3Client(const Pop3Client&) = delete;
  Pop3Client& operator=(const Pop3Client&) = delete;

  // Connects to server (a host name or dotted address) and reads the
  // greeting. Closes what is still open first.
  bool Connect(const std::string& server, uint16_t port);
  bool Login(const std::string& user, const std::string& password, bool useApop);
  // On success text holds the STAT reply's count and size ("3 1520").
  bool GetStat(std::string* text);
  bool Quit();
  // Quit, stop the reader, release the socket. Always true.
  bool Close();
  void StopReader();
  // Stores text as the last error and as the account's "AccountError" value
  // (deleted when text is empty). Always true.
  bool SetAccountError(const std::string& text);

  bool IsConnected() const { return connected_; }
  bool IsLoggedIn() const { return loggedIn_; }
  std::string LastError() const;
  void SetAccountId(const std::string& id) { accountId_ = id; }
  const std::string& AccountId() const { return accountId_; }
  // The greeting's timestamp with its angle brackets; empty without one.
  const std::string& ApopTimestamp() const { return apopTimestamp_; }

  // Tests shorten the waits.
  void SetReplyTimeout(uint32_t ms) { replyTimeoutMs_ = ms; }
  void SetReplyWaitLimit(uint32_t ms) { replyWaitLimitMs_ = ms; }
  void SetConnectTimeout(uint32_t ms) { connectTimeoutMs_ = ms; }

 private:
  // Waits, dispatching messages, for the reader to finish the connect.
  bool WaitForConnection();
  bool WaitForReply(std::string* text, const std::string& terminator);
  bool SendCommand(const std::string& line);
  // SendCommand, then the reply; a refused reply gives refusedError.
  bool Exchange(const std::string& line, const char* refusedError);
  void ReaderThread();
  enum class ChunkRun { kGathered, kEnded };
  ChunkRun ReadChunks();
  void EndReader(const char* error, bool direct);
  // The reader keeps its error texts here; the caller's thread applies
  // them, so only one thread writes the registry.
  void PostReaderError(const std::string& text, bool direct);
  void ApplyReaderErrors();
  void SetLastError(const std::string& text);

  Network& network_;
  MessagePump& pump_;
  std::unique_ptr<WaitableEvent> replyEvent_;
  // Set by the reader once the connect has ended, either way; apart from the
  // reply event so that a greeting that follows at once is not lost.
  std::unique_ptr<WaitableEvent> connectEvent_;
  enum class ConnectState { kPending, kConnected, kFailed };
  std::atomic<ConnectState> connectState_{ConnectState::kPending};
  uint32_t replyTimeoutMs_ = kReplyTimeoutMs;
  uint32_t replyWaitLimitMs_ = kReplyWaitLimitMs;
  uint32_t connectTimeoutMs_ = kConnectTimeoutMs;

  std::thread reader_;
  std::unique_ptr<TcpConnection> connection_;
  bool networkStarted_ = false;
  std::atomic<bool> connected_{false};
  std::atomic<bool> loggedIn_{false};
  std::atomic<bool> readerBusy_{false};

  std::string accountId_;
  std::string apopTimestamp_;

  // Shared with the reader thread, guarded by mutex_.
  mutable std::mutex mutex_;
  std::string reply_;
  // Why the gathered reply was dropped (too long, no memory); empty when
  // it was not.
  std::string replyFailure_;
  std::string terminator_ = "\r\n";
  std::string lastError_;
  std::optional<std::string> pendingAccountError_;
  std::optional<std::string> pendingLastError_;

  char chunk_[kChunkSize + 1];
};

}  // namespace qv::mail
