// Peak memory of loading a 10 MB definition, as a multiple of the file's
// size: every C++ heap allocation is counted (heap_counter) while the file
// is read, scanned, parsed into a tree and the tree is torn down.
//
// usage: tbdl_memory [bytes]   (default 10 MiB)
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include "heap_counter.h"
#include "tbdl/parser.h"
#include "tbdl/scanner.h"
#include "tbdl/text_stream.h"
#include "tbdl/tree.h"
#include "tbdl_generator.h"

namespace {

long MaxRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qv::tbdl;
  size_t target = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10u << 20;
  std::string path = "/tmp/tbdl_memory_" + std::to_string(getpid()) + ".tbd";
  bench::GeneratedCounts counts;
  {
    std::string text = bench::GenerateDefinition(target, 1, &counts);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) return 1;
    std::fclose(f);
  }
  long rss_before = MaxRssKiB();
  const size_t base = heap_counter::LiveBytes();
  heap_counter::ResetPeak();

  size_t file_size = 0, text_peak = 0, tree_peak = 0;
  int result;
  {
    std::string text;
    if (!ReadTextFile(path, &text)) return 1;
    file_size = text.size();
    text_peak = heap_counter::PeakBytes() - base;
    BeginTree();
    struct NullBuffer : std::streambuf {
    } null_buffer;
    std::ostream null_stream(&null_buffer);
    TBDLScanner scanner(text, &null_stream);
    result = TBDLParser().Parse(scanner);
    tree_peak = heap_counter::LiveBytes() - base;
    EndTree();
  }
  std::remove(path.c_str());
  const size_t peak = heap_counter::PeakBytes() - base;
  std::printf("definition      %zu bytes, %zu parts, %zu properties, parse result %d\n", file_size,
              counts.parts, counts.properties, result);
  std::printf("text buffer     %zu bytes (%.2fx)\n", text_peak, double(text_peak) / file_size);
  std::printf("text + tree     %zu bytes (%.2fx), %.1f bytes per part\n", tree_peak,
              double(tree_peak) / file_size, double(tree_peak - text_peak) / counts.parts);
  std::printf("peak heap       %zu bytes (%.2fx the file)\n", peak, double(peak) / file_size);
  std::printf("peak RSS delta  %ld KiB (%.2fx the file)\n", MaxRssKiB() - rss_before,
              (MaxRssKiB() - rss_before) * 1024.0 / file_size);
  std::printf("live after load %zu bytes\n", heap_counter::LiveBytes() - base);
  return result == kParseOk ? 0 : 1;
}
