// The COM plumbing every class of the module shares: an interface table
// that QueryInterface walks, reference counting that holds a module lock per
// live object, and aggregation (an outer object's controlling IUnknown takes
// the IUnknown calls of every interface, the object keeps a separate inner
// IUnknown for its own lifetime).
//
// A class derives from its interfaces and from ComObjectRoot, lists its
// interfaces in a static Interfaces() table (the first entry is the
// object's identity) and may define FinalConstruct(); ComObject<T> adds the
// IUnknown methods. CreateComObject makes one.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <span>

#include "host/win32/com_module.h"

namespace qv {

// One row of an interface table: the IID and how to reach that interface
// of a T.
template <typename T>
struct QiEntry {
  const IID* iid;
  void* (*cast)(T*);
};

// The row for interface I of T, reached through Via when T holds I more
// than once (IDispatch through the dual interface that derives from it).
template <typename T, typename I, typename Via = I>
constexpr QiEntry<T> Interface(const IID& iid) {
  return QiEntry<T>{&iid,
                    [](T* object) -> void* { return static_cast<I*>(static_cast<Via*>(object)); }};
}

class ComObjectRoot {
 public:
  ComObjectRoot() = default;
  ComObjectRoot(const ComObjectRoot&) = delete;
  ComObjectRoot& operator=(const ComObjectRoot&) = delete;

  // Runs once after the object is made and before it is handed out; a
  // failure destroys the object and fails its creation.
  HRESULT FinalConstruct() { return S_OK; }

 protected:
  virtual ~ComObjectRoot() = default;

  // The controlling IUnknown when aggregated, else null.
  IUnknown* outer_ = nullptr;
  LONG refs_ = 0;
};

template <typename T>
class ComObject final : public T {
 public:
  explicit ComObject(IUnknown* outer) : inner_(this) {
    this->outer_ = outer;
    LockModule();
  }
  ~ComObject() override { UnlockModule(); }

  // The IUnknown of every interface: the outer object's when aggregated.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    return this->outer_ ? this->outer_->QueryInterface(iid, out) : InnerQuery(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    return this->outer_ ? this->outer_->AddRef() : InnerAddRef();
  }
  STDMETHODIMP_(ULONG) Release() override {
    return this->outer_ ? this->outer_->Release() : InnerRelease();
  }

  // The object's own identity: when aggregated, the outer object holds this
  // and asks it for interfaces.
  HRESULT InnerQuery(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (this->outer_ && IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(&inner_);
      InnerAddRef();
      return S_OK;
    }
    std::span<const QiEntry<T>> table = T::Interfaces();
    if (IsEqualIID(iid, IID_IUnknown) && !table.empty()) {
      *out = table.front().cast(this);
    } else {
      for (const QiEntry<T>& entry : table) {
        if (IsEqualIID(iid, *entry.iid)) {
          *out = entry.cast(this);
          break;
        }
      }
    }
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG InnerAddRef() { return static_cast<ULONG>(InterlockedIncrement(&this->refs_)); }
  ULONG InnerRelease() {
    LONG n = InterlockedDecrement(&this->refs_);
    if (n == 0) {
      // A count that cannot reach zero again while the destructor runs, so
      // that a reference taken and dropped there does not delete twice.
      this->refs_ = 1;
      delete this;
    }
    return static_cast<ULONG>(n);
  }
  IUnknown* Inner() { return &inner_; }

 private:
  // The non-delegating IUnknown the outer object holds.
  class InnerUnknown final : public IUnknown {
   public:
    explicit InnerUnknown(ComObject* self) : self_(self) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      return self_->InnerQuery(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return self_->InnerAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return self_->InnerRelease(); }

   private:
    ComObject* self_;
  };

  InnerUnknown inner_;
};

// Makes a T and asks it for iid. An aggregated object may be asked only for
// IUnknown (its inner one), as COM requires.
template <typename T>
HRESULT CreateComObject(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  auto* object = new (std::nothrow) ComObject<T>(outer);
  if (object == nullptr) return E_OUTOFMEMORY;
  object->InnerAddRef();  // keeps it alive through FinalConstruct and the query
  HRESULT hr = object->FinalConstruct();
  if (SUCCEEDED(hr)) hr = object->InnerQuery(iid, out);
  object->InnerRelease();
  return hr;
}

enum class Aggregation { kAllowed, kRefused };

// The class factory of T: one static instance per class. Its references
// count as module locks, so that a client holding the factory keeps the
// module loaded.
template <typename T, Aggregation kAggregation>
class ClassFactory final : public IClassFactory {
 public:
  static ClassFactory* Instance() {
    static ClassFactory factory;
    return &factory;
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    LockModule();
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    UnlockModule();
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer && kAggregation == Aggregation::kRefused) return CLASS_E_NOAGGREGATION;
    return CreateComObject<T>(outer, iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      LockModule();
    else
      UnlockModule();
    return S_OK;
  }

 private:
  ClassFactory() = default;
};

}  // namespace qv
