// Throughput of the definition front end on generated definitions of 20 KB
// and 10 MB: scanning alone, scanning with parsing and tree building, and
// the whole load into the toolbar model.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>

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

// The whole load as the toolbar runs it: find and read the file, scan,
// parse, build the tree, load the model, look up the bitmaps.
void BM_LoadToolbarDefinition(benchmark::State& state) {
  const std::string& text = Definition(state.range(0));
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tbdl_bench_" + std::to_string(getpid()));
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  for (const char* name : {"/quorvane.tbd", "/tbil.bmp", "/tbhotil.bmp"}) {
    std::FILE* f = std::fopen((dir.string() + name).c_str(), "wb");
    if (!f) return state.SkipWithError("cannot write the definition");
    if (std::string(name) == "/quorvane.tbd") std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  CountedMessages messages;
  qv::ScopedService<qv::UserMessages> scope(&qv::PlatformServices::messages, &messages);
  qv::LocalResourceLookup lookup(dir.string());
  std::unique_ptr<TBDLToolbar> model;
  for (auto _ : state) {
    if (!LoadToolbarDefinition(model, lookup, &null_stream)) state.SkipWithError("load failed");
    model.reset();
  }
  if (messages.shown) state.SkipWithError("the load showed message boxes");
  std::filesystem::remove_all(dir, error);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
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

BENCHMARK_MAIN();
