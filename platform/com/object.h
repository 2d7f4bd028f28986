// The base of a COM object: the interfaces it answers, its reference count and QueryInterface,
// written once so that each object keeps to what is its own.
//
//   class CThing final : public platform::com::Object<CThing,
//                            platform::com::Answers<IDeskBand, IID_IDeskBand, IID_IDockingWindow,
//                                                   IID_IOleWindow>,
//                            platform::com::Answers<IPersistStream, IID_IPersistStream,
//                                                   IID_IPersist>> { ... };
//
// Each Answers<> names one interface the object derives from and the identifiers that reach it:
// its own and those of the interfaces it extends. IUnknown reaches the first, which is the
// object's identity, so every IUnknown the object hands out is the same pointer. AddRef, Release
// and QueryInterface of every interface are the base's (the compiler adjusts the pointer). The
// last Release deletes the object as a Derived, so Derived needs no virtual destructor; a
// private destructor is fine when Derived befriends its base (`using Base = ...; friend Base;`).
//
// An interface derived from IDispatch that nobody calls late-bound is named with Dispatched<>
// instead: IDispatch reaches it too, and its IDispatch members answer E_NOTIMPL (no type
// information), each interface on its own so that none needs writing in the object.
//
// An object that answers an interface only in some states (an element that is a comment, say)
// declares a public `bool Offers(REFIID riid) const`; QueryInterface asks it after a match.
//
// Object counts plainly, for objects of one apartment thread; SharedObject counts atomically,
// for objects that several threads may hold.
#pragma once

#include <atomic>
#include <new>
#include <utility>

#include "platform/com/com.h"

namespace platform::com {

template <typename Interface, const IID&... Ids>
struct Answers {
  static_assert(sizeof...(Ids) > 0, "an interface needs at least its own identifier");
  using Type = Interface;
  using Base = Interface;  // what the object derives from to answer Type
  static bool Matches(REFIID riid) { return ((riid == Ids) || ...); }
};

// The IDispatch members of an interface answered without type information.
template <typename Interface>
class NoTypeInfo : public Interface {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  ~NoTypeInfo() = default;
};

template <typename Interface, const IID&... Ids>
struct Dispatched : Answers<Interface, Ids..., IID_IDispatch> {
  using Base = NoTypeInfo<Interface>;
};

struct PlainCount {
  LONG value = 1;
  ULONG Up() { return static_cast<ULONG>(++value); }
  ULONG Down() { return static_cast<ULONG>(--value); }
};

struct AtomicCount {
  std::atomic<LONG> value{1};
  ULONG Up() { return static_cast<ULONG>(value.fetch_add(1, std::memory_order_relaxed) + 1); }
  ULONG Down() { return static_cast<ULONG>(value.fetch_sub(1, std::memory_order_acq_rel) - 1); }
};

template <typename Count, typename Derived, typename First, typename... Rest>
class ObjectBase : public First::Base, public Rest::Base... {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    void* found = nullptr;
    if (riid == IID_IUnknown || First::Matches(riid)) {
      found = static_cast<typename First::Type*>(Self());
    } else if constexpr (sizeof...(Rest) > 0) {
      ((found = Rest::Matches(riid) ? static_cast<void*>(static_cast<typename Rest::Type*>(Self()))
                                    : nullptr) ||
       ...);
    }
    if (!found || !Self()->Offers(riid)) return E_NOINTERFACE;
    AddRef();
    *ppv = found;
    return S_OK;
  }
  ULONG AddRef() override { return count_.Up(); }
  ULONG Release() override {
    ULONG left = count_.Down();
    if (left == 0) delete Self();
    return left;
  }

  // The object's identity: its first interface as IUnknown, borrowed (no AddRef).
  IUnknown* Identity() { return static_cast<typename First::Type*>(Self()); }
  // What an object answers when it does not narrow it.
  bool Offers(REFIID) const { return true; }

 protected:
  ObjectBase() = default;
  ObjectBase(const ObjectBase&) = delete;
  ObjectBase& operator=(const ObjectBase&) = delete;
  ~ObjectBase() = default;

 private:
  Derived* Self() { return static_cast<Derived*>(this); }
  Count count_;
};

template <typename Derived, typename... Interfaces>
using Object = ObjectBase<PlainCount, Derived, Interfaces...>;
template <typename Derived, typename... Interfaces>
using SharedObject = ObjectBase<AtomicCount, Derived, Interfaces...>;

// Makes a T and answers riid from it. The construction reference is given back afterwards, so a
// failed query leaves nothing alive. E_POINTER for a null ppv, E_OUTOFMEMORY when T cannot be
// made.
template <typename T, typename... Args>
HRESULT CreateObject(REFIID riid, void** ppv, Args&&... args) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  T* object = new (std::nothrow) T(std::forward<Args>(args)...);
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

}  // namespace platform::com
