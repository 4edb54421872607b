// A POP3 server on loopback that plays what a test dictates, byte by byte:
// replies split into chunks, slow or trickling replies, early closes,
// refusals, replies without CR LF, huge replies. Each accepted connection
// runs one script; connections beyond the scripts given run the last one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {

class ScriptedPop3Server {
 public:
  // Answers one command line (CR LF removed) with the reply to send.
  using Handler = std::function<std::string(const std::string& command)>;

  class Script {
   public:
    // Sends bytes after delayMs, cut into pieces of chunk bytes (all at
    // once when chunk is 0) with gapMs between the pieces.
    Script& Send(std::string bytes, unsigned delayMs = 0, size_t chunk = 0, unsigned gapMs = 0);
    // Reads one command line and records it.
    Script& Expect();
    Script& Pause(unsigned ms);
    // Closes the connection at once.
    Script& Close();
    // Reads commands until the client closes, answering each with handler;
    // the connection is closed after a "quit".
    Script& Serve(Handler handler);

   private:
    friend class ScriptedPop3Server;
    struct Step {
      enum Kind { kSend, kExpect, kPause, kClose, kServe };
      explicit Step(Kind k) : kind(k) {}
      Kind kind;
      std::string bytes;
      unsigned delayMs = 0;
      size_t chunk = 0;
      unsigned gapMs = 0;
      Handler handler;
    };
    std::vector<Step> steps_;
  };

  ScriptedPop3Server();
  ~ScriptedPop3Server();
  ScriptedPop3Server(const ScriptedPop3Server&) = delete;
  ScriptedPop3Server& operator=(const ScriptedPop3Server&) = delete;

  // The script of the next connection. Add every script before Start.
  Script& AddConnection();
  void Start();
  uint16_t Port() const { return port_; }

  // Command lines received so far, CR LF removed, in order over every
  // connection.
  std::vector<std::string> Commands() const;
  // Commands once at least count have arrived (or timeoutMs passed): the
  // client does not wait for the answer to its last command.
  std::vector<std::string> CommandsWhen(size_t count, unsigned timeoutMs = 2000) const;
  int Connections() const { return connections_; }

  // A handler for a well-behaved server: USER/PASS for user and password,
  // APOP checked against timestamp, STAT reporting count and size.
  static Handler MailboxHandler(std::string user, std::string password, unsigned count,
                                unsigned size, std::string timestamp = std::string());

 private:
  void Run();
  void RunScript(intptr_t client, const Script& script);
  bool ReadLine(intptr_t client, std::string* line);

  std::vector<Script> scripts_;
  intptr_t listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> commands_;
  std::string pending_;  // bytes of the current connection not yet read as a line
};

}  // namespace qv::test
