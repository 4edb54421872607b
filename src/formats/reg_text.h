// The registry export text format ("Windows Registry Editor Version 5.00"),
// in which the native registry keeps its store, so that a person can read the
// file and import it on Windows.
//
//   [HKEY_CURRENT_USER\SOFTWARE\Ostrivel\quorvane]
//   "Name"="text with \\ and \" escaped"
//   @="the default value"
//   "Number"=dword:0000002a
//   "Bytes"=hex:01,02,03
//   "Path"=hex(2):25,00,41,00,00,00
//
// REG_SZ text that a quoted line cannot hold exactly (no single terminating
// zero, embedded zeros, line breaks) is written as hex(1); string types in hex
// form are written as UTF-16LE code units as the export format has them, and
// read back byte for byte. Any other type is written as hex(N), so no value
// is ever lost.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/registry_tree.h"

namespace qv {

struct RegTextIssue {
  int line = 0;
  std::string reason;
};

// Adds the keys and values of a file's text to tree (sections that delete a
// key or value, "[-...]" and "name"=-, are applied). Lines that cannot be
// read are skipped and reported in issues; everything else is kept. Never
// fails.
void ParseRegText(std::string_view text, RegTree& tree, std::vector<RegTextIssue>* issues);

// The whole tree as file text: every key, including keys without values, in
// name order with a parent before its subkeys; values in their order.
std::string FormatRegText(const RegTree& tree);

}  // namespace qv
