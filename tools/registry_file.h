// --registry REGFILE, the same for every subcommand: the user's settings
// read from a file in the registry file format into memory, and, for the
// subcommands that keep what the toolbar changed, written back once at
// the end.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "formats/reg_text.h"
#include "formats/registry_tree.h"

namespace qv::tools {

class RegistryFile {
 public:
  // Reads path into memory. A missing file gives empty settings when
  // missingOk (the first of several runs). Otherwise, and for a file that
  // exists but cannot be read, prints "quorvane-tbdl: cannot read PATH"
  // on err and returns false. Lines that cannot be read are left out and
  // listed in issues().
  bool Load(const std::string& path, bool missingOk, std::ostream& err);

  Registry& registry() { return registry_; }
  const std::string& path() const { return path_; }
  const std::vector<RegTextIssue>& issues() const { return issues_; }
  // Prints the issues on err, one "PATH:LINE: reason" line each.
  void PrintIssues(std::ostream& err) const;

  // Replaces the file whole with the settings (a temporary file renamed
  // over it). A file with lines that could not be read is kept beside it
  // first, so that nothing of it is lost. False, with a message on err,
  // when the file cannot be written.
  bool Save(std::ostream& err);

 private:
  // The tree is read and written only around the subcommand's work.
  class Settings : public TreeRegistry {
   public:
    using TreeRegistry::tree;
  };

  Settings registry_;
  std::string path_;
  std::string original_;
  std::vector<RegTextIssue> issues_;
};

}  // namespace qv::tools
