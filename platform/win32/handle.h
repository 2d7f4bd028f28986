// Internal: the kernel objects behind HANDLE values, so CloseHandle can tell a live handle
// from a stale or foreign one instead of freeing garbage.
#pragma once

#include <mutex>
#include <unordered_set>

#include "platform/com/types.h"

namespace platform::win32 {

struct KernelObject {
  virtual ~KernelObject();
};

class HandleTable {
 public:
  static HANDLE Add(KernelObject* object) {
    std::lock_guard lock(Mutex());
    Live().insert(object);
    return object;
  }
  // The object if handle is live and of type T, else nullptr.
  template <typename T>
  static T* Get(HANDLE handle) {
    std::lock_guard lock(Mutex());
    auto it = Live().find(static_cast<KernelObject*>(handle));
    return it == Live().end() ? nullptr : dynamic_cast<T*>(*it);
  }
  // Removes the handle and gives its object to the caller to delete.
  static KernelObject* Take(HANDLE handle) {
    std::lock_guard lock(Mutex());
    auto it = Live().find(static_cast<KernelObject*>(handle));
    if (it == Live().end()) return nullptr;
    KernelObject* object = *it;
    Live().erase(it);
    return object;
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex m;
    return m;
  }
  static std::unordered_set<KernelObject*>& Live() {
    static std::unordered_set<KernelObject*> live;
    return live;
  }
};

}  // namespace platform::win32
