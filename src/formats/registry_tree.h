// A registry held in memory with the Win32 rules of the registry seam: key
// and value names compared without regard to case (the case of creation is
// kept), values in the order of their creation, subkeys in name order, sized
// buffers answered with kErrorMoreData and the needed size.
//
// TreeRegistry is the common core of the native backends: the file-backed
// registry adds loading and saving around every operation through the
// protected hooks; the in-memory test registry uses it as it is.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"

namespace qv {

// Orders and compares names as the registry does: ASCII letters without
// regard to case, every other byte as it is.
struct RegNameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
bool RegNameEqual(const std::string& a, const std::string& b);

struct RegValueEntry {
  std::string name;
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;
};

struct RegTreeKey {
  std::string name;
  std::vector<RegValueEntry> values;  // in order of creation
  std::map<std::string, std::unique_ptr<RegTreeKey>, RegNameLess> subkeys;

  RegValueEntry* FindValue(const std::string& valueName);
  const RegValueEntry* FindValue(const std::string& valueName) const;
  // An existing value keeps its name's case and its place in the order.
  void SetValue(const std::string& valueName, uint32_t type, std::vector<uint8_t> data);
  bool DeleteValue(const std::string& valueName);
  RegTreeKey* FindSubkey(const std::string& keyName);
  // The subkey of that name, created when missing.
  RegTreeKey& AddSubkey(const std::string& keyName, bool* created = nullptr);
  void Clear();
};

// The predefined roots and everything below them.
struct RegTree {
  struct Root {
    RegHandle handle;
    const char* name;
  };
  static constexpr std::array<Root, 3> kRoots = {{{kHkeyClassesRoot, "HKEY_CLASSES_ROOT"},
                                                  {kHkeyCurrentUser, "HKEY_CURRENT_USER"},
                                                  {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"}}};

  RegTree();
  // Null for a handle that is not a predefined root.
  RegTreeKey* FindRoot(RegHandle handle);
  const RegTreeKey& root(size_t index) const { return roots_[index]; }
  RegTreeKey& root(size_t index) { return roots_[index]; }
  void Clear();

 private:
  std::array<RegTreeKey, kRoots.size()> roots_;
};

// Splits a subkey path at backslashes. False for a path that the registry
// refuses (a leading backslash, an empty level in the middle). A trailing
// backslash is allowed.
bool SplitRegPath(const std::string& path, std::vector<std::string>* names);

class TreeRegistry : public Registry {
 public:
  TreeRegistry() = default;
  TreeRegistry(const TreeRegistry&) = delete;
  TreeRegistry& operator=(const TreeRegistry&) = delete;

  RegStatus CreateKey(RegHandle parent, const std::string& subkey, RegHandle* result) override;
  RegStatus OpenKey(RegHandle parent, const std::string& subkey, RegHandle* result) override;
  RegStatus CloseKey(RegHandle key) override;
  RegStatus QueryValue(RegHandle key, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override;
  RegStatus SetValue(RegHandle key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
  RegStatus DeleteValue(RegHandle key, const std::string& name) override;
  // An empty subkey deletes the key's values and subkeys but keeps the key.
  RegStatus DeleteTree(RegHandle key, const std::string& subkey) override;
  RegStatus EnumValue(RegHandle key, uint32_t index, char* name, uint32_t* nameChars,
                      uint32_t* type, uint8_t* data, uint32_t* size) override;
  RegStatus EnumKey(RegHandle key, uint32_t index, char* name, uint32_t* nameChars) override;
  RegStatus FlushKey(RegHandle key) override;

  // Number of open handles (roots not counted); tests check for leaks.
  size_t OpenHandleCount();

  void BeginBatch() override;
  void EndBatch() override;

 protected:
  enum class Access { kRead, kWrite };
  // Called with the registry's mutex held before an operation reads or
  // changes the tree. A failure aborts the operation with that status.
  virtual RegStatus BeginOperation(Access) { return kErrorSuccess; }
  // Called after an operation changed the tree; its status is the
  // operation's result.
  virtual RegStatus CommitChanges() { return kErrorSuccess; }
  // Called when the operation ends, whatever its result.
  virtual void EndOperation() {}
  // Called with the mutex held: stored changes must reach the disk.
  virtual RegStatus FlushStorage() { return kErrorSuccess; }
  // Called with the mutex held when the outermost batch begins and ends.
  virtual void BatchStarted() {}
  virtual void BatchEnded() {}

  RegTree& tree() { return tree_; }

 private:
  class Operation;
  // A handle names its key by path, so that it survives a reload of the
  // tree; a key deleted since gives kErrorKeyDeleted.
  struct KeyPath {
    RegHandle root = 0;
    std::vector<std::string> names;
  };
  RegStatus Resolve(RegHandle handle, RegTreeKey** key, KeyPath* path);
  RegHandle AddHandle(KeyPath path);

  std::mutex mutex_;
  RegTree tree_;
  std::unordered_map<RegHandle, KeyPath> handles_;
  RegHandle nextHandle_ = 0x1000;
  int batchDepth_ = 0;
};

}  // namespace qv
