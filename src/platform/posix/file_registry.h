// The native registry: one file in the registry export text format, shared
// safely by any number of processes. Every operation takes an advisory lock
// on a sibling lock file (shared to read, exclusive to change), reads the file
// again when it changed since this process last saw it, and a change replaces
// the file atomically (temporary file, rename), so that other processes and
// a crash see the old file or the new one, whole. As with the Windows
// registry, changes reach the disk lazily: FlushKey, and the destruction of
// the registry, sync the file. Syncing on every change would cost a history
// update several milliseconds instead of half of one. Key handles name their
// key by path, so they stay valid across reloads.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "formats/reg_text.h"
#include "formats/registry_tree.h"

namespace qv {

class FileRegistry : public TreeRegistry {
 public:
  explicit FileRegistry(std::string path);
  ~FileRegistry() override;

  const std::string& path() const { return path_; }

  // QUORVANE_REGISTRY when set, else $XDG_CONFIG_HOME/quorvane/registry.reg,
  // else ~/.config/quorvane/registry.reg.
  static std::string DefaultPath();

 protected:
  RegStatus BeginOperation(Access access) override;
  RegStatus CommitChanges() override;
  void EndOperation() override;
  // A batch holds the exclusive lock from its start to its end and writes
  // the file once, at the end, when anything changed.
  void BatchStarted() override;
  void BatchEnded() override;
  RegStatus FlushStorage() override;

 private:
  struct Stamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    long long ctimeNs = 0;
    bool operator==(const Stamp&) const = default;
  };
  bool OpenLockFile(bool create);
  bool LockFileIsCurrent() const;
  RegStatus LoadIfChanged();
  RegStatus Save();
  void KeepUnreadableOriginal();
  void ReportIssues(const std::vector<RegTextIssue>& issues) const;
  Stamp StampOf(const std::string& file) const;

  std::string path_;
  std::string lockPath_;
  int lockFd_ = -1;
  pid_t lockPid_ = 0;
  bool locked_ = false;
  bool batchLocked_ = false;
  bool batchDirty_ = false;
  bool loaded_ = false;
  Stamp stamp_;
  // The loaded file had lines that could not be read: before the first save
  // replaces it, the original is kept beside it.
  bool unreadableLines_ = false;
  // A save since the last sync.
  bool unsynced_ = false;
};

}  // namespace qv
