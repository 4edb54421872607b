#include "tools/registry_file.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>

namespace qv::tools {

namespace fs = std::filesystem;

bool RegistryFile::Load(const std::string& path, bool missingOk, std::ostream& err) {
  path_ = path;
  std::error_code error;
  if (missingOk && !fs::exists(fs::path(path), error) && !error) return true;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  // A directory opens on some systems; reading it then fails.
  if (in) text << in.rdbuf();
  if (!in || in.bad() || fs::is_directory(fs::path(path), error)) {
    err << "quorvane-tbdl: cannot read " << path << "\n";
    return false;
  }
  original_ = text.str();
  ParseRegText(original_, registry_.tree(), &issues_);
  return true;
}

void RegistryFile::PrintIssues(std::ostream& err) const {
  for (const RegTextIssue& issue : issues_) {
    err << path_ << ":" << issue.line << ": " << issue.reason << "\n";
  }
}

bool RegistryFile::Save(std::ostream& err) {
  if (!issues_.empty()) {
    std::string keep = path_ + ".unreadable";
    std::error_code error;
    for (int n = 2; fs::exists(fs::path(keep), error); ++n) {
      keep = path_ + ".unreadable-" + std::to_string(n);
    }
    std::ofstream out(keep, std::ios::binary);
    out << original_;
    out.close();
    if (!out) {
      err << "quorvane-tbdl: cannot write " << keep << "; " << path_ << " is left as it was\n";
      return false;
    }
    err << "quorvane-tbdl: " << path_
        << " had lines that could not be read; the original is kept as " << keep << "\n";
    issues_.clear();
    original_.clear();
  }
  const std::string temp = path_ + ".tmp";
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  out << FormatRegText(registry_.tree());
  out.close();
  std::error_code error;
  if (out) fs::rename(fs::path(temp), fs::path(path_), error);
  if (!out || error) {
    fs::remove(fs::path(temp), error);
    err << "quorvane-tbdl: cannot write " << path_ << "\n";
    return false;
  }
  return true;
}

}  // namespace qv::tools
