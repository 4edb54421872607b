#include "tbdl/loader.h"

#include "install/resource_lookup.h"
#include "tbdl/parser.h"
#include "tbdl/scanner.h"
#include "tbdl/text_stream.h"
#include "tbdl/tree.h"

namespace qv::tbdl {

namespace {

// Scans, parses and loads text into model; text must be normalised.
bool ParseIntoModel(TBDLToolbar& model, const std::string& text, std::ostream* echo) {
  BeginTree();
  int result;
  {
    TBDLScanner scanner(text, echo);
    result = TBDLParser().Parse(scanner);
  }
  if (result != kParseOk) {
    const TokenRecord& record = GetTokenRecord();
    ReportLoadProblem((record.previous + " " + record.current).c_str(),
                      "Failed to parse toolbar definition file");
  } else {
    model.Load(*TreeState().root);
  }
  EndTree();
  return result == kParseOk;
}

}  // namespace

bool LoadToolbarDefinition(std::unique_ptr<TBDLToolbar>& model, ResourceLookup& lookup,
                           std::ostream* echo) {
  model.reset();
  model = std::make_unique<TBDLToolbar>();
  std::string path = kDefinitionFileName;
  if (!lookup.EnsureResourceFile(path)) {
    ReportLoadProblem("Unable to open toolbar definition file", "Error");
    return false;
  }
  // A file that cannot be read gives an empty input, which fails to parse.
  std::string text;
  if (!ReadTextFile(path, &text)) text.clear();
  if (!ParseIntoModel(*model, text, echo)) return false;
  return model->PrepareResources(lookup);
}

bool LoadToolbarDefinitionText(std::unique_ptr<TBDLToolbar>& model, std::string text,
                               ResourceLookup& lookup, std::ostream* echo) {
  model.reset();
  model = std::make_unique<TBDLToolbar>();
  NormalizeLineEnds(&text);
  if (!ParseIntoModel(*model, text, echo)) return false;
  return model->PrepareResources(lookup);
}

}  // namespace qv::tbdl
