#include "formats/registry_tree.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace qv {
namespace {

unsigned char Fold(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// Names reach the registry as C strings: anything after a zero byte is not
// part of the name.
std::string CName(const std::string& name) {
  return std::string(name.c_str());
}

// Copies a name with its terminating zero into a caller's buffer of
// *nameChars characters.
RegStatus CopyName(const std::string& source, char* name, uint32_t* nameChars) {
  if (source.size() + 1 > *nameChars) return kErrorMoreData;
  std::memcpy(name, source.c_str(), source.size() + 1);
  *nameChars = static_cast<uint32_t>(source.size());
  return kErrorSuccess;
}

// Reports a value's type and copies its data into a caller's buffer of *size
// bytes; a null buffer asks for the size only.
RegStatus CopyData(const RegValueEntry& v, uint32_t* type, uint8_t* data, uint32_t* size) {
  if (type) *type = v.type;
  uint32_t needed = static_cast<uint32_t>(v.data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return kErrorMoreData;
    }
    if (needed) std::memcpy(data, v.data.data(), needed);
  }
  if (size) *size = needed;
  return kErrorSuccess;
}

}  // namespace

bool RegNameLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

bool RegNameEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Fold(x) == Fold(y); });
}

RegValueEntry* RegTreeKey::FindValue(const std::string& valueName) {
  for (RegValueEntry& v : values)
    if (RegNameEqual(v.name, valueName)) return &v;
  return nullptr;
}

const RegValueEntry* RegTreeKey::FindValue(const std::string& valueName) const {
  return const_cast<RegTreeKey*>(this)->FindValue(valueName);
}

void RegTreeKey::SetValue(const std::string& valueName, uint32_t type, std::vector<uint8_t> data) {
  if (RegValueEntry* existing = FindValue(valueName)) {
    existing->type = type;
    existing->data = std::move(data);
    return;
  }
  values.push_back(RegValueEntry{valueName, type, std::move(data)});
}

bool RegTreeKey::DeleteValue(const std::string& valueName) {
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const RegValueEntry& v) { return RegNameEqual(v.name, valueName); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

RegTreeKey* RegTreeKey::FindSubkey(const std::string& keyName) {
  auto it = subkeys.find(keyName);
  return it == subkeys.end() ? nullptr : it->second.get();
}

RegTreeKey& RegTreeKey::AddSubkey(const std::string& keyName, bool* created) {
  auto& slot = subkeys[keyName];
  if (created) *created = !slot;
  if (!slot) {
    slot = std::make_unique<RegTreeKey>();
    slot->name = keyName;
  }
  return *slot;
}

void RegTreeKey::Clear() {
  values.clear();
  subkeys.clear();
}

RegTree::RegTree() {
  for (size_t i = 0; i < kRoots.size(); ++i) roots_[i].name = kRoots[i].name;
}

RegTreeKey* RegTree::FindRoot(RegHandle handle) {
  for (size_t i = 0; i < kRoots.size(); ++i)
    if (kRoots[i].handle == handle) return &roots_[i];
  return nullptr;
}

void RegTree::Clear() {
  for (RegTreeKey& r : roots_) r.Clear();
}

bool SplitRegPath(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  std::string p = CName(path);
  if (p.empty()) return true;
  if (p.front() == '\\') return false;
  size_t start = 0;
  while (start < p.size()) {
    size_t end = p.find('\\', start);
    if (end == std::string::npos) end = p.size();
    if (end == start) return false;
    names->push_back(p.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

// Holds the registry's mutex and brackets the backend's hooks.
class TreeRegistry::Operation {
 public:
  Operation(TreeRegistry& registry, Access access) : registry_(registry), lock_(registry.mutex_) {
    status_ = registry_.BeginOperation(access);
  }
  ~Operation() { registry_.EndOperation(); }
  RegStatus status() const { return status_; }

 private:
  TreeRegistry& registry_;
  std::lock_guard<std::mutex> lock_;
  RegStatus status_;
};

void TreeRegistry::BeginBatch() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (batchDepth_++ == 0) BatchStarted();
}

void TreeRegistry::EndBatch() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (batchDepth_ > 0 && --batchDepth_ == 0) BatchEnded();
}

RegStatus TreeRegistry::Resolve(RegHandle handle, RegTreeKey** key, KeyPath* path) {
  if (RegTreeKey* root = tree_.FindRoot(handle)) {
    *key = root;
    if (path) *path = KeyPath{handle, {}};
    return kErrorSuccess;
  }
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kErrorInvalidHandle;
  RegTreeKey* k = tree_.FindRoot(it->second.root);
  for (const std::string& n : it->second.names) {
    k = k->FindSubkey(n);
    if (!k) return kErrorKeyDeleted;
  }
  *key = k;
  if (path) *path = it->second;
  return kErrorSuccess;
}

RegHandle TreeRegistry::AddHandle(KeyPath path) {
  RegHandle h = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(h, std::move(path));
  return h;
}

RegStatus TreeRegistry::CreateKey(RegHandle parent, const std::string& subkey, RegHandle* result) {
  if (!result) return kErrorInvalidParameter;
  std::vector<std::string> names;
  if (!SplitRegPath(subkey, &names)) return kErrorBadPathname;
  // Most keys exist already: opening needs only read access, which a
  // backend can grant to several readers at once.
  if (RegStatus s = OpenKey(parent, subkey, result); s != kErrorFileNotFound) return s;
  Operation op(*this, Access::kWrite);
  if (op.status() != kErrorSuccess) return op.status();
  RegTreeKey* key = nullptr;
  KeyPath path;
  if (RegStatus s = Resolve(parent, &key, &path); s != kErrorSuccess) return s;
  bool changed = false;
  for (const std::string& n : names) {
    bool created = false;
    key = &key->AddSubkey(n, &created);
    changed |= created;
    path.names.push_back(key->name);
  }
  if (changed) {
    if (RegStatus s = CommitChanges(); s != kErrorSuccess) return s;
  }
  *result = AddHandle(std::move(path));
  return kErrorSuccess;
}

RegStatus TreeRegistry::OpenKey(RegHandle parent, const std::string& subkey, RegHandle* result) {
  if (!result) return kErrorInvalidParameter;
  std::vector<std::string> names;
  if (!SplitRegPath(subkey, &names)) return kErrorBadPathname;
  Operation op(*this, Access::kRead);
  if (op.status() != kErrorSuccess) return op.status();
  RegTreeKey* key = nullptr;
  KeyPath path;
  if (RegStatus s = Resolve(parent, &key, &path); s != kErrorSuccess) return s;
  for (const std::string& n : names) {
    key = key->FindSubkey(n);
    if (!key) return kErrorFileNotFound;
    path.names.push_back(key->name);
  }
  *result = AddHandle(std::move(path));
  return kErrorSuccess;
}

RegStatus TreeRegistry::CloseKey(RegHandle key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (tree_.FindRoot(key)) return kErrorSuccess;
  return handles_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

RegStatus TreeRegistry::QueryValue(RegHandle key, const std::string& name, uint32_t* type,
                                   uint8_t* data, uint32_t* size) {
  if (data && !size) return kErrorInvalidParameter;
  Operation op(*this, Access::kRead);
  if (op.status() != kErrorSuccess) return op.status();
  RegTreeKey* k = nullptr;
  if (RegStatus s = Resolve(key, &k, nullptr); s != kErrorSuccess) return s;
  const RegValueEntry* v = k->FindValue(CName(name));
  if (!v) return kErrorFileNotFound;
  return CopyData(*v, type, data, size);
}

RegStatus TreeRegistry::SetValue(RegHandle key, const std::string& name, uint32_t type,
                                 const uint8_t* data, uint32_t size) {
  if (!data && size) return kErrorInvalidParameter;
  Operation op(*this, Access::kWrite);
  if (op.status() != kErrorSuccess) return op.status();
  RegTreeKey* k = nullptr;
  if (RegStatus s = Resolve(key, &k, nullptr); s != kErrorSuccess) return s;
  k->SetValue(CName(name), type, std::vector<uint8_t>(data, data + size));
  return CommitChanges();
}

RegStatus TreeRegistry::DeleteValue(RegHandle key, const std::string& name) {
  Operation op(*this, Access::kWrite);
  if (op.status() != kErrorSuccess) return op.status();
  RegTreeKey* k = nullptr;
  if (RegStatus s = Resolve(key, &k, nullptr); s != kErrorSuccess) return s;
  if (!k->DeleteValue(CName(name))) return kErrorFileNotFound;
  return CommitChanges();
}

RegStatus TreeRegistry::DeleteTree(RegHandle key, const std::string& subkey) {
  std::vector<std::string> names;
  if (!SplitRegPath(subkey, &names)) return kErrorBadPathname;
  Operation op(*this, Access::kWrite);
  if (op.status() != kErrorSuccess) return op.status();
  RegTreeKey* k = nullptr;
  if (RegStatus s = Resolve(key, &k, nullptr); s != kErrorSuccess) return s;
  if (names.empty()) {
    if (k->values.empty() && k->subkeys.empty()) return kErrorSuccess;
    k->Clear();
    return CommitChanges();
  }
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    k = k->FindSubkey(names[i]);
    if (!k) return kErrorFileNotFound;
  }
  if (!k->subkeys.erase(names.back())) return kErrorFileNotFound;
  return CommitChanges();
}

RegStatus TreeRegistry::EnumValue(RegHandle key, uint32_t index, char* name, uint32_t* nameChars,
                                  uint32_t* type, uint8_t* data, uint32_t* size) {
  if (!name || !nameChars || (data && !size)) return kErrorInvalidParameter;
  Operation op(*this, Access::kRead);
  if (op.status() != kErrorSuccess) return op.status();
  RegTreeKey* k = nullptr;
  if (RegStatus s = Resolve(key, &k, nullptr); s != kErrorSuccess) return s;
  if (index >= k->values.size()) return kErrorNoMoreItems;
  const RegValueEntry& v = k->values[index];
  if (RegStatus s = CopyName(v.name, name, nameChars); s != kErrorSuccess) return s;
  return CopyData(v, type, data, size);
}

RegStatus TreeRegistry::EnumKey(RegHandle key, uint32_t index, char* name, uint32_t* nameChars) {
  if (!name || !nameChars) return kErrorInvalidParameter;
  Operation op(*this, Access::kRead);
  if (op.status() != kErrorSuccess) return op.status();
  RegTreeKey* k = nullptr;
  if (RegStatus s = Resolve(key, &k, nullptr); s != kErrorSuccess) return s;
  if (index >= k->subkeys.size()) return kErrorNoMoreItems;
  auto it = std::next(k->subkeys.begin(), index);
  return CopyName(it->second->name, name, nameChars);
}

RegStatus TreeRegistry::FlushKey(RegHandle key) {
  std::lock_guard<std::mutex> lock(mutex_);
  RegTreeKey* k = nullptr;
  if (RegStatus s = Resolve(key, &k, nullptr); s != kErrorSuccess) return s;
  return FlushStorage();
}

size_t TreeRegistry::OpenHandleCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return handles_.size();
}

}  // namespace qv
