// Throughput of the definition front end on generated definitions of 20 KB
// and 10 MB: scanning alone, scanning with parsing and tree building, and
// the whole load into the toolbar model, in this process and as authors
// and build steps run it: quorvane-tbdl check (and load, which also prints
// the model) as a process of its own.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "install/resource_lookup.h"
#include "platform/services.h"
#include "platform/user_messages.h"
#include "tbdl/loader.h"
#include "tbdl/parser.h"
#include "tbdl/scanner.h"
#include "tbdl/tree.h"
#include "tbdl_generator.h"

namespace {

using namespace qv::tbdl;

// Skipped characters are thrown away (a generated definition has none).
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};
NullBuffer null_buffer;
std::ostream null_stream(&null_buffer);

const std::string& Definition(size_t bytes) {
  static std::string small = bench::GenerateDefinition(20 * 1024);
  static std::string large = bench::GenerateDefinition(10 * 1024 * 1024);
  return bytes <= small.size() ? small : large;
}

void BM_Scan(benchmark::State& state) {
  const std::string& text = Definition(state.range(0));
  EndTree();  // no tree: tokens only (and the token record)
  size_t tokens = 0;
  for (auto _ : state) {
    TBDLScanner scanner(text, &null_stream);
    while (scanner.Next() != kTokEnd) ++tokens;
    benchmark::DoNotOptimize(tokens);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["tokens"] = static_cast<double>(tokens / state.iterations());
}

void BM_ParseAndBuildTree(benchmark::State& state) {
  const std::string& text = Definition(state.range(0));
  for (auto _ : state) {
    BeginTree();
    TBDLScanner scanner(text, &null_stream);
    int result = TBDLParser().Parse(scanner);
    if (result != kParseOk) state.SkipWithError("generated definition rejected");
    EndTree();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Message boxes would stop the clock: count them instead.
class CountedMessages : public qv::UserMessages {
 public:
  int ShowMessage(const std::string&, const std::string&, unsigned) override {
    ++shown;
    return qv::kIdOk;
  }
  int shown = 0;
};

// A folder standing for the installation: the definition and its bitmaps.
class InstallFolder {
 public:
  explicit InstallFolder(const std::string& text)
      : dir_(std::filesystem::temp_directory_path() / ("tbdl_bench_" + std::to_string(getpid()))) {
    std::error_code error;
    std::filesystem::create_directories(dir_, error);
    for (const char* name : {"/quorvane.tbd", "/tbil.bmp", "/tbhotil.bmp"}) {
      std::FILE* f = std::fopen((dir_.string() + name).c_str(), "wb");
      if (!f) return;
      if (std::string(name) == "/quorvane.tbd") std::fwrite(text.data(), 1, text.size(), f);
      ok_ = std::fclose(f) == 0;
    }
  }
  ~InstallFolder() {
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
  }
  bool ok() const { return ok_; }
  std::string path() const { return dir_.string(); }
  std::string definition() const { return path() + "/quorvane.tbd"; }

 private:
  std::filesystem::path dir_;
  bool ok_ = false;
};

// The whole load as the toolbar runs it: find and read the file, scan,
// parse, build the tree, load the model, look up the bitmaps.
void BM_LoadToolbarDefinition(benchmark::State& state) {
  const std::string& text = Definition(state.range(0));
  InstallFolder folder(text);
  if (!folder.ok()) return state.SkipWithError("cannot write the definition");
  CountedMessages messages;
  qv::ScopedService<qv::UserMessages> scope(&qv::PlatformServices::messages, &messages);
  qv::LocalResourceLookup lookup(folder.path());
  std::unique_ptr<TBDLToolbar> model;
  for (auto _ : state) {
    if (!LoadToolbarDefinition(model, lookup, &null_stream)) state.SkipWithError("load failed");
    model.reset();
  }
  if (messages.shown) state.SkipWithError("the load showed message boxes");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Runs quorvane-tbdl with its output thrown away. Its exit status, and in
// cpu_seconds the processor time it used (user and system).
int RunTool(const std::vector<std::string>& args, double* cpu_seconds) {
  std::vector<char*> argv;
  std::string program = QV_TOOL_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return -1;
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) return -1;
  }
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  *cpu_seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The whole load from outside: start the tool, load, print, exit. check
// prints only the verdict; load also prints the whole model. The time is
// the processor time of the tool, as the in-process benchmarks measure
// theirs, so that a busy machine does not blur the comparison; the
// wall-clock throughput is the counter wall_MB/s.
void ToolProcess(benchmark::State& state, const char* command) {
  const std::string& text = Definition(state.range(0));
  InstallFolder folder(text);
  if (!folder.ok()) return state.SkipWithError("cannot write the definition");
  double wall = 0;
  for (auto _ : state) {
    double cpu = 0;
    const auto start = std::chrono::steady_clock::now();
    if (RunTool({command, folder.definition()}, &cpu) != 0) state.SkipWithError("the tool failed");
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(cpu);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["wall_MB/s"] = static_cast<double>(state.iterations() * text.size()) / 1e6 / wall;
}

void BM_CheckProcess(benchmark::State& state) {
  ToolProcess(state, "check");
}
void BM_LoadProcess(benchmark::State& state) {
  ToolProcess(state, "load");
}

}  // namespace

BENCHMARK(BM_Scan)->Arg(20 * 1024)->Arg(10 * 1024 * 1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseAndBuildTree)
    ->Arg(20 * 1024)
    ->Arg(10 * 1024 * 1024)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_LoadToolbarDefinition)
    ->Arg(20 * 1024)
    ->Arg(10 * 1024 * 1024)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_CheckProcess)
    ->Arg(20 * 1024)
    ->Arg(10 * 1024 * 1024)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_LoadProcess)->Arg(10 * 1024 * 1024)->Unit(benchmark::kMillisecond)->UseManualTime();

BENCHMARK_MAIN();
