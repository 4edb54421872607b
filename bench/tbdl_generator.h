// Realistic toolbar definitions of a chosen size for benchmarks, fuzzer
// seeds and tests: buttons with menus and nested submenus, combos with
// values, web pages, indicators, texts, separators, commands of every kind
// and settings, repeated with varying names and texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv::tbdl::bench {

struct GeneratedCounts {
  size_t parts = 0;       // part keywords written (nodes of the tree)
  size_t properties = 0;  // property pairs written
};

// A definition the grammar accepts, at least target_bytes long (one group of
// parts more than needed at most), with LF line ends. The same seed gives
// the same text.
std::string GenerateDefinition(size_t target_bytes, uint32_t seed = 1,
                               GeneratedCounts* counts = nullptr);

}  // namespace qv::tbdl::bench
