#include "mail/pop3_client.h"

#include <chrono>
#include <cstring>
#include <algorithm>
#include <new>
#include <system_error>

#include "mail/accounts.h"
#include "mail/md5.h"
#include "mail/pop3_text.h"
#include "platform/services.h"
#include "settings/settings.h"

namespace qv::mail {
namespace {

constexpr char kCrLf[] = "\r\n";

// Waiting through several window messages, the whole wait is measured on a
// steady clock.
uint32_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - since)
                                   .count());
}

}  // namespace

Pop3Client::Pop3Client() : Pop3Client(GetNetwork(), GetMessagePump()) {}

Pop3Client::Pop3Client(Network& network, MessagePump& pump)
    : network_(network),
      pump_(pump),
      replyEvent_(pump.MakeEvent("Waiting for POP3 Server Respose")),
      connectEvent_(pump.MakeEvent("Waiting for POP3 Server Connection")) {
  std::memset(chunk_, 0, sizeof chunk_);
}

Pop3Client::~Pop3Client() {
  StopReader();
  connection_.reset();
  if (networkStarted_) network_.Cleanup();
}

std::string Pop3Client::LastError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastError_;
}

void Pop3Client::SetLastError(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  lastError_ = text;
}

bool Pop3Client::SetAccountError(const std::string& text) {
  SetLastError(text);
  RegKey key = OpenAccountsKey(true);
  if (!key) return true;
  const std::string name = AccountValueName(kErrorValue, accountId_);
  if (text.empty()) {
    key.registry()->DeleteValue(key.get(), name);
  } else {
    WriteKeyString(key, name, text);
  }
  return true;
}

void Pop3Client::PostReaderError(const std::string& text, bool direct) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!direct) pendingAccountError_ = text;
  pendingLastError_ = text;
}

void Pop3Client::ApplyReaderErrors() {
  std::optional<std::string> accountError, lastError;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    accountError.swap(pendingAccountError_);
    lastError.swap(pendingLastError_);
  }
  if (accountError) SetAccountError(*accountError);
  if (lastError) SetLastError(*lastError);
}

bool Pop3Client::Connect(const std::string& server, uint16_t port) {
  if (connected_) Close();
  connected_ = false;
  loggedIn_ = false;
  // A reader that ended on its own (closed connection, read error) still
  // has to be joined, and the old socket released.
  StopReader();
  connection_.reset();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reply_.clear();
    replyFailure_.clear();
    replyEvent_->Reset();
  }

  if (!networkStarted_) {
    if (!network_.Startup()) return SetAccountError("Initialize Socket Fail!"), false;
    networkStarted_ = true;
  }

  std::unique_ptr<TcpConnection> connection;
  switch (network_.StartConnect(server, port, &connection)) {
    case NetStatus::kOk:
      break;
    case NetStatus::kSocketFailed:
      return SetAccountError("Failed to create socket!"), false;
    case NetStatus::kHostnameError:
      return SetAccountError("Hostname Error!"), false;
    default:
      return SetAccountError("Failed to connect to POP3 Server!"), false;
  }

  connection_ = std::move(connection);
  connectState_ = ConnectState::kPending;
  connectEvent_->Reset();
  try {
    reader_ = std::thread(&Pop3Client::ReaderThread, this);
  } catch (const std::system_error&) {
    connection_.reset();
    return SetAccountError("Failed to connect to POP3 Server!"), false;
  }
  if (!WaitForConnection()) return false;

  std::string greeting;
  if (!WaitForReply(&greeting, kCrLf)) return false;
  apopTimestamp_ = ExtractApopTimestamp(greeting);
  return true;
}

void Pop3Client::StopReader() {
  if (!reader_.joinable()) return;
  if (connection_) connection_->Wake();
  reader_.join();
  ApplyReaderErrors();
}

bool Pop3Client::SendCommand(const std::string& line) {
  if (connection_ && connection_->Send(line.data(), line.size()) != -1) return true;
  SetAccountError("Socket error!");
  connected_ = false;
  loggedIn_ = false;
  return false;
}

bool Pop3Client::Exchange(const std::string& line, const char* refusedError) {
  if (!SendCommand(line)) return false;
  std::string reply;
  if (!WaitForReply(&reply, kCrLf)) return false;
  if (IsReplyRefused(reply)) return SetAccountError(refusedError), false;
  return true;
}

bool Pop3Client::Login(const std::string& user, const std::string& password, bool useApop) {
  loggedIn_ = false;
  if (!connected_) return SetAccountError("Socket not created!"), false;
  if (useApop) {
    if (apopTimestamp_.empty()) return SetAccountError("Apop error!"), false;
    const std::string line = "apop " + user + " " + Md5Hex(apopTimestamp_ + password) + kCrLf;
    if (line.size() > kMaxCommandLine)
      return SetAccountError("User name or password too long!"), false;
    if (!Exchange(line, "Username or Password error!")) return false;
  } else {
    const std::string userLine = "user " + user + kCrLf;
    const std::string passLine = "pass " + password + kCrLf;
    // Checked before anything is sent, so a refused pair leaves no half
    // login behind.
    if (userLine.size() > kMaxCommandLine || passLine.size() > kMaxCommandLine)
      return SetAccountError("User name or password too long!"), false;
    if (!Exchange(userLine, "User Name error!")) return false;
    if (!Exchange(passLine, "User or Password error!")) return false;
  }
  loggedIn_ = true;
  return true;
}

bool Pop3Client::GetStat(std::string* text) {
  if (!connected_) return SetAccountError("Socket not created!"), false;
  if (!loggedIn_) return SetAccountError("Not Connected!"), false;
  if (!SendCommand("stat\r\n")) return false;
  std::string reply;
  if (!WaitForReply(&reply, kCrLf)) return false;
  if (IsReplyRefused(reply)) return SetAccountError("Get Stat error!"), false;
  *text = StatReplyText(reply);
  return true;
}

bool Pop3Client::Quit() {
  if (!connected_) return SetAccountError("Socket not created!"), false;
  if (!loggedIn_) return SetAccountError("Not Connected!"), false;
  // The server's answer is not awaited.
  bool sent = SendCommand("quit\r\n");
  connected_ = false;
  loggedIn_ = false;
  return sent;
}

bool Pop3Client::Close() {
  Quit();
  StopReader();
  connection_.reset();
  if (networkStarted_) network_.Cleanup();
  networkStarted_ = false;
  connected_ = false;
  loggedIn_ = false;
  return true;
}

bool Pop3Client::WaitForConnection() {
  const auto start = std::chrono::steady_clock::now();
  const char* error = nullptr;
  std::optional<int> quitCode;
  for (;;) {
    int exitCode = 0;
    if (!pump_.DispatchQueued(&exitCode)) {
      quitCode = exitCode;
      error = "Mail check cancelled!";
      break;
    }
    const uint32_t elapsed = ElapsedMs(start);
    if (elapsed >= connectTimeoutMs_) {
      error = "Failed to connect to POP3 Server!";
      break;
    }
    const PumpWait wait = pump_.WaitForEventOrInput(*connectEvent_, connectTimeoutMs_ - elapsed);
    if (wait == PumpWait::kSignalled) {
      if (connectState_ != ConnectState::kConnected) error = "Failed to connect to POP3 Server!";
      break;
    }
    // A wait that fails would fail again at once.
    if (wait == PumpWait::kFailed) {
      error = "Failed to connect to POP3 Server!";
      break;
    }
  }
  connectEvent_->Reset();
  if (error) {
    // The reader may still be connecting: it is woken, and the half-made
    // connection goes. Its own notes are applied first, so the error stays.
    StopReader();
    connection_.reset();
    connected_ = false;
    SetAccountError(error);
  }
  if (quitCode) pump_.PostQuit(*quitCode);
  return error == nullptr;
}

bool Pop3Client::WaitForReply(std::string* text, const std::string& terminator) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    terminator_ = terminator;
  }
  const auto start = std::chrono::steady_clock::now();
  bool result = false;
  std::optional<int> quitCode;
  for (;;) {
    int exitCode = 0;
    if (!pump_.DispatchQueued(&exitCode)) {
      // The thread is asked to end: the check ends as failed and the quit
      // message goes back for the thread's own loop.
      quitCode = exitCode;
      ApplyReaderErrors();
      SetAccountError("Mail check cancelled!");
      break;
    }
    const uint32_t elapsed = ElapsedMs(start);
    if (elapsed >= replyWaitLimitMs_) {
      ApplyReaderErrors();
      SetAccountError("Server reply too slow!");
      break;
    }
    const uint32_t timeout = std::min(replyTimeoutMs_, replyWaitLimitMs_ - elapsed);
    const PumpWait wait = pump_.WaitForEventOrInput(*replyEvent_, timeout);
    if (wait == PumpWait::kSignalled) {
      std::string gathered, failure;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        gathered.swap(reply_);
        failure.swap(replyFailure_);
      }
      ApplyReaderErrors();
      if (!failure.empty()) {
        SetAccountError(failure);
      } else if (gathered.empty()) {
        SetAccountError("Receive Buffer is empty!");
      } else {
        *text = std::move(gathered);
        result = true;
      }
      break;
    }
    if (wait == PumpWait::kInput) continue;
    // A silent period is a time-out only while the reader is idle; a reader
    // that is handling bytes will signal soon.
    if (readerBusy_) continue;
    if (ElapsedMs(start) < replyWaitLimitMs_) {
      ApplyReaderErrors();
      SetAccountError("Connection Time out!");
      break;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reply_.clear();
    reply_.shrink_to_fit();
    replyFailure_.clear();
    replyEvent_->Reset();
  }
  if (quitCode) pump_.PostQuit(*quitCode);
  return result;
}

void Pop3Client::EndReader(const char* error, bool direct) {
  if (error) PostReaderError(error, direct);
  connected_ = false;
  loggedIn_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    replyEvent_->Set();
  }
  connection_->StopWatching();
  readerBusy_ = false;
}

Pop3Client::ChunkRun Pop3Client::ReadChunks() {
  size_t lastChunkStart = 0;
  bool gathered = false;
  for (;;) {
    std::memset(chunk_, 0, kChunkSize);
    // A short pause lets a little more of a reply arrive in one chunk.
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    size_t received = 0;
    const RecvStatus status = connection_->Receive(chunk_, kChunkSize, &received);
    if (status == RecvStatus::kError)
      return EndReader("Socket Read Error!", true), ChunkRun::kEnded;
    if (status == RecvStatus::kClosed)
      return EndReader("Connection Closed!", false), ChunkRun::kEnded;
    // Nothing more for now: a reply of exactly a multiple of the chunk size
    // ends here.
    if (status == RecvStatus::kWouldBlock) break;
    const char* failure = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (reply_.size() + received > kMaxReplyBytes) {
        failure = "Server reply too long!";
      } else {
        try {
          lastChunkStart = reply_.size();
          reply_.append(chunk_, received);
        } catch (const std::bad_alloc&) {
          failure = "Memory Error!";
        }
      }
      if (failure) {
        reply_.clear();
        replyFailure_ = failure;
      }
    }
    if (failure) return EndReader(nullptr, false), ChunkRun::kEnded;
    gathered = true;
    if (received < kChunkSize) break;
  }
  if (gathered) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string_view reply(reply_);
    if (IsReplyComplete(reply, reply.substr(lastChunkStart), terminator_)) replyEvent_->Set();
  }
  return ChunkRun::kGathered;
}

void Pop3Client::ReaderThread() {
  const bool connected = connection_->FinishConnect() == NetStatus::kOk;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = connected;
    connectState_ = connected ? ConnectState::kConnected : ConnectState::kFailed;
    connectEvent_->Set();
  }
  if (!connected) return;
  const NetStatus status = connection_->StartWatching();
  if (status != NetStatus::kOk) {
    // The waiter is woken at once instead of waiting for its time-out.
    EndReader(
        status == NetStatus::kEventCreateFailed ? "WSACreateEvent error!" : "Event Select Error!",
        false);
    return;
  }
  PostReaderError(std::string(), false);
  for (;;) {
    readerBusy_ = false;
    const uint32_t events = connection_->WaitForEvents();
    readerBusy_ = true;
    if (events & kNetWoken) {
      PostReaderError(std::string(), false);
      connection_->StopWatching();
      readerBusy_ = false;
      return;
    }
    if (events & kNetFailed) return EndReader("The network subsystem has failed!", false);
    if (events & kNetRead) {
      if (!connected_) {
        connection_->StopWatching();
        readerBusy_ = false;
        return;
      }
      if (ReadChunks() == ChunkRun::kEnded) return;
      pump_.DispatchWorkerQueue();
      // A close reported together with the last bytes still ends the
      // connection once they are gathered.
      if (events & kNetClose) return EndReader("Connection Closed!", false);
      continue;
    }
    if (events & kNetClose) return EndReader("Connection Closed!", false);
  }
}

}  // namespace qv::mail
