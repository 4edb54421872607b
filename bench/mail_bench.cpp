// The cost of one mail check against a local Dovecot: connect, greeting,
// login, STAT, QUIT and close, as the toolbar's check of one account runs
// it. Prints the median and spread of the wall time and of the client's CPU
// time per check (the server is another process, so the process's CPU time
// is the client's: the waiting thread and the reader thread together).
//
//   mail_bench [--port N] [--checks N] [--apop]
//
// The port defaults to QV_DOVECOT_PORT (tests/mail/dovecot/start-dovecot.sh
// starts a server with the users alice/alice-pass and bob/bob-pass).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "mail/accounts.h"
#include "mail/mail_checker.h"
#include "mail/pop3_client.h"
#include "formats/registry_tree.h"
#include "platform/services.h"
#include "settings/settings.h"

namespace {

using namespace qv;
using namespace qv::mail;

// User and system CPU time of the process so far (sampled at the tick, so
// only meaningful over many checks).
struct Cpu {
  double user, system;
};
Cpu ProcessCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return {usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3,
          usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3};
}

double ClockMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Stats {
  double median, p10, p90;
};

Stats Summarize(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  auto at = [&v](double q) {
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))];
  };
  return {at(0.5), at(0.1), at(0.9)};
}

class NoHost : public MailCheckHost {
 public:
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
  bool IsTimerSet(unsigned) override { return false; }
  bool RefreshItems() override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  const char* envPort = std::getenv("QV_DOVECOT_PORT");
  long port = envPort ? std::atol(envPort) : 0;
  int checks = 200;
  bool apop = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--port") && i + 1 < argc) {
      port = std::atol(argv[++i]);
    } else if (!std::strcmp(argv[i], "--checks") && i + 1 < argc) {
      checks = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--apop")) {
      apop = true;
    } else {
      std::fprintf(stderr, "usage: mail_bench [--port N] [--checks N] [--apop]\n");
      return 2;
    }
  }
  if (port <= 0 || port > 65535) {
    std::printf("mail_bench: no Dovecot (set QV_DOVECOT_PORT or pass --port)\n");
    return 0;
  }

  // The account lives in an in-memory registry, as fast as the real one.
  TreeRegistry registry;
  ScopedService<Registry> useRegistry(&PlatformServices::registry, &registry);
  RegKey key = OpenAccountsKey(true);
  WriteKeyDword(key, kAccountCountValue, 1);
  Pop3AccountSettings account;
  account.server = "127.0.0.1";
  account.user = "alice";
  account.password = "alice-pass";
  account.useApop = apop;
  WriteAccount(key, 1, account);

  NoHost host;
  Pop3Client client;
  MailChecker checker(client, host);
  checker.SetPort(static_cast<uint16_t>(port));

  std::vector<double> wall, cpu, waiterCpu;
  Cpu total{0, 0};
  int failed = 0;
  for (int i = 0; i < checks + 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const Cpu rusage0 = ProcessCpuMs();
    const double cpu0 = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
    const double thread0 = ClockMs(CLOCK_THREAD_CPUTIME_ID);
    const bool ok = checker.CheckAccountOutcome("1", true) == CheckOutcome::kChecked;
    const double thread1 = ClockMs(CLOCK_THREAD_CPUTIME_ID);
    const double cpu1 = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
    const Cpu rusage1 = ProcessCpuMs();
    const auto end = std::chrono::steady_clock::now();
    if (!ok) ++failed;
    if (i < 5) continue;  // warm-up
    wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    cpu.push_back(cpu1 - cpu0);
    total.user += rusage1.user - rusage0.user;
    total.system += rusage1.system - rusage0.system;
    waiterCpu.push_back(thread1 - thread0);
  }
  const uint32_t count = ReadKeyDword(key, AccountValueName(kStatsValue, 1u), 0);
  const Stats w = Summarize(wall), c = Summarize(cpu), t = Summarize(waiterCpu);
  std::printf(
      "mail check of one account (%s) against 127.0.0.1:%ld, %d checks, %d failed, "
      "%u messages\n",
      apop ? "APOP" : "USER/PASS", port, checks, failed, count);
  std::printf("  wall time per check        median %7.3f ms  (p10 %7.3f, p90 %7.3f)\n", w.median,
              w.p10, w.p90);
  std::printf("  client CPU per check       median %7.3f ms  (p10 %7.3f, p90 %7.3f)\n", c.median,
              c.p10, c.p90);
  std::printf("  mean user / system CPU     %7.3f / %7.3f ms\n", total.user / checks,
              total.system / checks);
  std::printf("  waiting thread CPU only    median %7.3f ms  (p10 %7.3f, p90 %7.3f)\n", t.median,
              t.p10, t.p90);
  return failed == 0 ? 0 : 1;
}
