// TBDLPart: the base of every object that reads itself from a parse-tree
// node, and the value rules shared by all of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tbdl/keywords.h"

namespace qv::tbdl {

class TBDLNode;

class TBDLPart {
 public:
  TBDLPart() = default;
  TBDLPart(const TBDLPart&) = default;
  TBDLPart& operator=(const TBDLPart&) = default;
  TBDLPart(TBDLPart&&) = default;
  TBDLPart& operator=(TBDLPart&&) = default;

  // Applies every (name, value) pair of the node in list order through
  // SetProperty, then hands every child in list order to AddPart. The
  // results of both are ignored: a bad property or part is reported and
  // loading goes on.
  virtual void Load(TBDLNode& node);
  // True when name is a property of this class. The base knows none.
  virtual bool SetProperty(Keyword name, std::string_view value);
  // Reads a nested part. The base ignores it.
  virtual bool AddPart(TBDLNode& child);
  virtual ~TBDLPart();

  // The first half of Load: only the property pairs.
  void LoadProperties(const TBDLNode& node);
};

// When name is key: stores value with its backslash sequences interpreted
// and returns true. Otherwise returns false and leaves target alone.
bool SetTextProperty(std::string& target, Keyword key, Keyword name, std::string_view value);
// When name is key: stores value converted by ParseIntValue and returns true.
bool SetIntProperty(int32_t& target, Keyword key, Keyword name, std::string_view value);

// "\\" gives a backslash, "\n" a line feed, "\"" a quote; a backslash before
// any other character is dropped; a backslash that ends the value is kept.
std::string InterpretTextValue(std::string_view value);

// A signed decimal integer as atoi reads it: leading white space, one
// optional sign, digits up to the first non-digit; no digits give 0. A value
// outside the 32-bit range is clamped to INT32_MIN or INT32_MAX, as the
// Windows runtime's atoi does, instead of overflowing.
int32_t ParseIntValue(std::string_view value);

// The "Invalid property " box with the part's caption. Always false, so
// that SetProperty can end with it.
bool ReportInvalidProperty(Keyword name, const char* caption);
// A load-time message box with no owner and an OK button.
void ReportLoadProblem(const char* text, const char* caption);

}  // namespace qv::tbdl
