// Counts the C++ heap of the whole program: linking heap_counter.cpp
// replaces the global operator new and delete. Each block counts as the
// chunk a typical malloc would use for it, so figures agree across C
// libraries (and under Wine).
#pragma once

#include <cstddef>

namespace heap_counter {

// Bytes held by live blocks now.
size_t LiveBytes();
// The most held at once since the last ResetPeak.
size_t PeakBytes();
void ResetPeak();

}  // namespace heap_counter
