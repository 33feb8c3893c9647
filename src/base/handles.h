// RAII owners for the Win32 handle kinds the updater uses. Each closes its
// handle once and resets it, so an early return never leaks one.
#pragma once

#include <windows.h>

namespace zemora {

// A kernel handle whose empty value is `Invalid` (null or INVALID_HANDLE_VALUE).
template <HANDLE (*Invalid)()>
class UniqueKernelHandle {
 public:
  UniqueKernelHandle() = default;
  explicit UniqueKernelHandle(HANDLE h) : handle(h) {}
  ~UniqueKernelHandle() { reset(); }
  UniqueKernelHandle(const UniqueKernelHandle&) = delete;
  UniqueKernelHandle& operator=(const UniqueKernelHandle&) = delete;
  UniqueKernelHandle(UniqueKernelHandle&& other) noexcept : handle(other.release()) {}
  UniqueKernelHandle& operator=(UniqueKernelHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  HANDLE get() const { return handle; }
  bool valid() const { return handle != Invalid() && handle != nullptr; }
  explicit operator bool() const { return valid(); }
  HANDLE release() {
    HANDLE h = handle;
    handle = Invalid();
    return h;
  }
  // Closes the owned handle (if any) and takes `h`.
  void reset(HANDLE h = Invalid()) {
    if (valid()) CloseHandle(handle);
    handle = h;
  }

 private:
  HANDLE handle = Invalid();
};

inline HANDLE NullHandleValue() { return nullptr; }
inline HANDLE InvalidHandleValue() { return INVALID_HANDLE_VALUE; }

// Files, pipes and mappings' files: empty value INVALID_HANDLE_VALUE.
using UniqueFile = UniqueKernelHandle<InvalidHandleValue>;
// Events, mutexes, threads, processes, file mappings: empty value null.
using UniqueHandle = UniqueKernelHandle<NullHandleValue>;

class UniqueHkey {
 public:
  UniqueHkey() = default;
  explicit UniqueHkey(HKEY k) : key(k) {}
  ~UniqueHkey() { reset(); }
  UniqueHkey(const UniqueHkey&) = delete;
  UniqueHkey& operator=(const UniqueHkey&) = delete;
  HKEY get() const { return key; }
  HKEY* put() {
    reset();
    return &key;
  }
  explicit operator bool() const { return key != nullptr; }
  // Closes the key; returns the registry status of the close (0 when none).
  LONG reset(HKEY k = nullptr) {
    LONG status = ERROR_SUCCESS;
    if (key) status = RegCloseKey(key);
    key = k;
    return status;
  }

 private:
  HKEY key = nullptr;
};

class UniqueFindHandle {
 public:
  UniqueFindHandle() = default;
  explicit UniqueFindHandle(HANDLE h) : handle(h) {}
  ~UniqueFindHandle() {
    if (valid()) FindClose(handle);
  }
  UniqueFindHandle(const UniqueFindHandle&) = delete;
  UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;
  bool valid() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
  HANDLE get() const { return handle; }

 private:
  HANDLE handle = INVALID_HANDLE_VALUE;
};

class UniqueMappedView {
 public:
  UniqueMappedView() = default;
  explicit UniqueMappedView(const void* v) : view(v) {}
  ~UniqueMappedView() { reset(); }
  UniqueMappedView(const UniqueMappedView&) = delete;
  UniqueMappedView& operator=(const UniqueMappedView&) = delete;
  const void* get() const { return view; }
  void reset(const void* v = nullptr) {
    if (view) UnmapViewOfFile(view);
    view = v;
  }

 private:
  const void* view = nullptr;
};

// A critical section that lives as long as its owner.
class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section); }
  ~CriticalSection() { DeleteCriticalSection(&section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { EnterCriticalSection(&section); }
  void Leave() { LeaveCriticalSection(&section); }

 private:
  CRITICAL_SECTION section;
};

class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& s) : section(s) { section.Enter(); }
  ~ScopedLock() { section.Leave(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CriticalSection& section;
};

}  // namespace zemora
