#include "platform/posix/file_registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "formats/reg_text.h"

namespace qv {
namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeDirectories(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = DirectoryOf(dir);
  if (parent != dir && !MakeDirectories(parent)) return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

RegStatus StatusFromErrno(int error) {
  return (error == EACCES || error == EPERM || error == EROFS) ? kErrorAccessDenied
                                                               : kErrorWriteFault;
}

bool ReadWholeFile(int fd, std::string* text) {
  text->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text->append(buffer, static_cast<size_t>(n));
  }
}

bool WriteWholeFile(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool CopyFile(const std::string& from, const std::string& to) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::string text;
  bool ok = ReadWholeFile(in, &text);
  close(in);
  if (!ok) return false;
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) return false;
  ok = WriteWholeFile(out, text) && fsync(out) == 0;
  close(out);
  return ok;
}

}  // namespace

void FileRegistry::ReportIssues(const std::vector<RegTextIssue>& issues) const {
  // A file that is not a registry file at all would give a line per line.
  constexpr size_t kMostReported = 20;
  for (size_t i = 0; i < issues.size() && i < kMostReported; ++i)
    std::fprintf(stderr, "quorvane: %s:%d: %s\n", path_.c_str(), issues[i].line,
                 issues[i].reason.c_str());
  if (issues.size() > kMostReported)
    std::fprintf(stderr, "quorvane: %s: %zu more lines could not be read\n", path_.c_str(),
                 issues.size() - kMostReported);
}

FileRegistry::FileRegistry(std::string path) : path_(std::move(path)), lockPath_(path_ + ".lock") {}

FileRegistry::~FileRegistry() {
  FlushStorage();
  if (lockFd_ >= 0) close(lockFd_);
}

RegStatus FileRegistry::FlushStorage() {
  if (!unsynced_) return kErrorSuccess;
  // The file this process saved last may have been replaced since by
  // another process; syncing whatever is there now is what a flush means.
  int error = 0;
  int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
  } else {
    if (fsync(fd) != 0) error = errno;
    close(fd);
  }
  // The rename lives in the directory: sync it too, so the new name stays.
  std::string directory = path_.substr(0, path_.find_last_of('/') + 1);
  if (directory.empty()) directory = ".";
  if (int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    if (fsync(dir) != 0 && !error && errno != EINVAL) error = errno;
    close(dir);
  }
  if (error) return StatusFromErrno(error);
  unsynced_ = false;
  return kErrorSuccess;
}

std::string FileRegistry::DefaultPath() {
  if (const char* forced = std::getenv("QUORVANE_REGISTRY"); forced && *forced) return forced;
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : nullptr;
    }
    config = std::string(home ? home : ".") + "/.config";
  }
  return config + "/quorvane/registry.reg";
}

FileRegistry::Stamp FileRegistry::StampOf(const std::string& file) const {
  struct stat st;
  Stamp s;
  if (stat(file.c_str(), &st) != 0) return s;
  s.exists = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  s.ctimeNs = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
  return s;
}

bool FileRegistry::OpenLockFile(bool create) {
  // A child process must not share the parent's lock: flock locks belong to
  // the open file, which fork shares.
  if (lockFd_ >= 0 && lockPid_ == getpid()) return true;
  if (lockFd_ >= 0) close(lockFd_);
  lockFd_ = -1;
  if (create && !MakeDirectories(DirectoryOf(path_))) return false;
  lockFd_ = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) return false;
  lockPid_ = getpid();
  return true;
}

RegStatus FileRegistry::BeginOperation(Access access) {
  if (batchLocked_) return LoadIfChanged();
  bool write = access == Access::kWrite;
  if (!OpenLockFile(write)) {
    // Reading needs no lock where none can be made (no directory yet, or a
    // read-only one); changing does.
    if (write) return StatusFromErrno(errno);
    return LoadIfChanged();
  }
  for (int attempt = 0;; ++attempt) {
    while (flock(lockFd_, write ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) return StatusFromErrno(errno);
    }
    locked_ = true;
    // A lock file removed since it was opened (the whole directory deleted,
    // say) locks nothing that other processes see: lock the one there now.
    if (LockFileIsCurrent() || attempt == 3) break;
    EndOperation();
    close(lockFd_);
    lockFd_ = -1;
    if (!OpenLockFile(write)) return write ? StatusFromErrno(errno) : LoadIfChanged();
  }
  return LoadIfChanged();
}

bool FileRegistry::LockFileIsCurrent() const {
  struct stat held;
  struct stat named;
  return fstat(lockFd_, &held) == 0 && stat(lockPath_.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void FileRegistry::EndOperation() {
  if (batchLocked_) return;
  if (locked_) flock(lockFd_, LOCK_UN);
  locked_ = false;
}

RegStatus FileRegistry::LoadIfChanged() {
  Stamp now = StampOf(path_);
  if (loaded_ && now == stamp_) return kErrorSuccess;
  loaded_ = false;
  if (!now.exists) {
    tree().Clear();
    stamp_ = now;
    unreadableLines_ = false;
    loaded_ = true;
    return kErrorSuccess;
  }
  int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kErrorAccessDenied;
  std::string text;
  bool ok = ReadWholeFile(fd, &text);
  close(fd);
  if (!ok) return kErrorAccessDenied;

  RegTree fresh;
  std::vector<RegTextIssue> issues;
  ParseRegText(text, fresh, &issues);
  ReportIssues(issues);
  tree() = std::move(fresh);
  unreadableLines_ = !issues.empty();
  stamp_ = now;
  loaded_ = true;
  return kErrorSuccess;
}

void FileRegistry::KeepUnreadableOriginal() {
  char suffix[48];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(suffix, sizeof suffix, ".unreadable-%Y%m%d-%H%M%S", &tm);
  std::string keep = path_ + suffix;
  for (int n = 2; access(keep.c_str(), F_OK) == 0; ++n)
    keep = path_ + suffix + "-" + std::to_string(n);
  if (link(path_.c_str(), keep.c_str()) == 0 || CopyFile(path_, keep))
    std::fprintf(stderr,
                 "quorvane: %s had lines that could not be read; the original is kept as %s\n",
                 path_.c_str(), keep.c_str());
  else
    std::fprintf(stderr, "quorvane: could not keep the original of %s as %s\n", path_.c_str(),
                 keep.c_str());
}

RegStatus FileRegistry::CommitChanges() {
  if (batchLocked_) {
    batchDirty_ = true;
    return kErrorSuccess;
  }
  return Save();
}

void FileRegistry::BatchStarted() {
  // Without the lock the batch's operations lock and store one by one.
  if (!OpenLockFile(true)) return;
  while (flock(lockFd_, LOCK_EX) != 0) {
    if (errno != EINTR) return;
  }
  batchLocked_ = true;
  batchDirty_ = false;
}

void FileRegistry::BatchEnded() {
  if (!batchLocked_) return;
  if (batchDirty_) Save();
  batchDirty_ = false;
  batchLocked_ = false;
  flock(lockFd_, LOCK_UN);
}

RegStatus FileRegistry::Save() {
  if (unreadableLines_) KeepUnreadableOriginal();
  std::string text = FormatRegText(tree());
  std::string temp = path_ + ".tmp." + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int error = 0;
  if (fd < 0) {
    error = errno;
  } else {
    if (!WriteWholeFile(fd, text)) error = errno ? errno : EIO;
    if (close(fd) != 0 && !error) error = errno;
    if (!error && rename(temp.c_str(), path_.c_str()) != 0) error = errno;
  }
  if (error) {
    unlink(temp.c_str());
    // The tree holds a change the file does not: read the file again next time.
    loaded_ = false;
    return StatusFromErrno(error);
  }
  stamp_ = StampOf(path_);
  unsynced_ = true;
  unreadableLines_ = false;
  return kErrorSuccess;
}

}  // namespace qv
