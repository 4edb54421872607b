// Arbitrary bytes through the definition front end: the scanner with its
// tree building and token record, the parser, the tree's teardown, and the
// whole load into the toolbar model.
#include <cstddef>
#include <cstdint>
#include <iostream>
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

namespace {

using namespace qv::tbdl;

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

class SilentMessages : public qv::UserMessages {
 public:
  int ShowMessage(const std::string&, const std::string&, unsigned) override { return qv::kIdOk; }
};

// Every bitmap is there: the load goes as far as it can.
class AnyFile : public qv::ResourceLookup {
 public:
  bool EnsureResourceFile(std::string&) override { return true; }
};

NullBuffer null_buffer;
std::ostream null_stream(&null_buffer);

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Fatal scanner and parser messages would flood the output.
  std::cerr.rdbuf(&null_buffer);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // Scanner and parser on their own; the token record must be readable
  // afterwards whatever happened.
  BeginTree();
  {
    TBDLScanner scanner(text, &null_stream);
    int result = TBDLParser().Parse(scanner);
    if (result < kParseOk || result > kParseStackOverflow) __builtin_trap();
    const TokenRecord& record = GetTokenRecord();
    if (record.current.size() > kTokenLimit + 1) __builtin_trap();
  }
  EndTree();

  // The whole load from memory.
  static SilentMessages messages;
  qv::ScopedService<qv::UserMessages> scope(&qv::PlatformServices::messages, &messages);
  AnyFile lookup;
  std::unique_ptr<TBDLToolbar> model;
  LoadToolbarDefinitionText(model, text, lookup, &null_stream);
  return 0;
}
