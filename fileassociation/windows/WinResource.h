// Ownership of Windows handles, registry keys, system-allocated memory and COM interfaces.
#pragma once

#include <windows.h>

#include <utility>

namespace vondra {

// Owns one resource and releases it exactly once. Traits name the type, the value that means
// "none" (which differs between Windows calls) and the release call.
template <class Traits>
class WinResource {
 public:
  using Value = typename Traits::Value;

  WinResource() = default;
  explicit WinResource(Value value) : _value(value) {}
  ~WinResource() { reset(); }

  WinResource(const WinResource&) = delete;
  WinResource& operator=(const WinResource&) = delete;
  WinResource(WinResource&& other) noexcept : _value(std::exchange(other._value, Traits::none())) {}
  WinResource& operator=(WinResource&& other) noexcept {
    if (this != &other) {
      reset();
      _value = std::exchange(other._value, Traits::none());
    }
    return *this;
  }

  Value get() const { return _value; }
  explicit operator bool() const { return _value != Traits::none(); }

  // For calls that hand the resource back through an out-parameter.
  Value* receive() {
    reset();
    return &_value;
  }

  void reset() {
    if (*this) Traits::release(_value);
    _value = Traits::none();
  }

 private:
  Value _value = Traits::none();
};

// Handles that are null when absent (processes, tokens).
struct HandleTraits {
  using Value = HANDLE;
  static Value none() { return nullptr; }
  static void release(Value value) { CloseHandle(value); }
};

// Handles that are INVALID_HANDLE_VALUE when absent (files, snapshots).
struct FileHandleTraits {
  using Value = HANDLE;
  static Value none() { return INVALID_HANDLE_VALUE; }
  static void release(Value value) { CloseHandle(value); }
};

struct FindHandleTraits {
  using Value = HANDLE;
  static Value none() { return INVALID_HANDLE_VALUE; }
  static void release(Value value) { FindClose(value); }
};

// Keys this library opened; predefined root keys are never put in here.
struct RegistryKeyTraits {
  using Value = HKEY;
  static Value none() { return nullptr; }
  static void release(Value value) { RegCloseKey(value); }
};

template <class T>
struct LocalMemoryTraits {
  using Value = T*;
  static Value none() { return nullptr; }
  static void release(Value value) { LocalFree(value); }
};

template <class Interface>
struct ComTraits {
  using Value = Interface*;
  static Value none() { return nullptr; }
  static void release(Value value) { value->Release(); }
};

using UniqueHandle = WinResource<HandleTraits>;
using UniqueFileHandle = WinResource<FileHandleTraits>;
using UniqueFindHandle = WinResource<FindHandleTraits>;
using RegistryKey = WinResource<RegistryKeyTraits>;
template <class T>
using LocalMemory = WinResource<LocalMemoryTraits<T>>;
template <class Interface>
using ComRef = WinResource<ComTraits<Interface>>;

}  // namespace vondra
