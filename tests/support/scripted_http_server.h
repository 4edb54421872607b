// An HTTP/1.1 server on loopback for the download tests, on Linux and under
// Wine alike. It serves files from a table and plays the faults a broken or
// hostile server commits: error pages, bodies cut off before the announced
// length, accepting and then saying nothing, trickling bytes, endless
// bodies. Each connection carries one request and is closed after the
// answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {

class ScriptedHttpServer {
 public:
  struct Reply {
    enum Kind {
      kWhole,    // status, headers and the body with its length
      kCutOff,   // announces the body's length, sends half of it, closes
      kStall,    // reads the request, then says nothing until the client goes
      kTrickle,  // sends the body one byte every gapMs
      kEndless,  // a 200 without a length, then bytes until the client goes
    };
    Kind kind = kWhole;
    int status = 200;
    std::string body;
    unsigned gapMs = 50;
  };

  ScriptedHttpServer();
  ~ScriptedHttpServer();
  ScriptedHttpServer(const ScriptedHttpServer&) = delete;
  ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

  // The answer for a request path ("/quorvane/x.bmp"); other paths get a 404
  // page. May be changed while the server runs.
  void Set(const std::string& path, Reply reply);
  void SetFile(const std::string& path, std::string body) {
    Set(path, Reply{Reply::kWhole, 200, std::move(body)});
  }
  void Remove(const std::string& path);

  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT/"
  std::string BaseUrl() const;
  // The paths of the requests received so far, in order.
  std::vector<std::string> Requests() const;
  void ClearRequests();

 private:
  void Run();
  void Serve(intptr_t client);

  intptr_t listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::vector<std::thread> workers_;
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::vector<std::string> requests_;
};

}  // namespace qv::test
