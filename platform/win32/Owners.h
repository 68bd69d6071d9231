#pragma once
// Owners of what the Win32 platform opens: kernel handles (files, processes, jobs, ports), loaded
// modules, memory the system allocated for the caller and COM object references, each released when its owner
// goes out of scope. Where the result of closing matters (a file just written), CloseNow() closes early and
// gives the error, if any.
#include <windows.h>

#include <utility>

namespace platform {

// One owned Win32 handle. Traits give the value that means "none" and the call that releases it.
template <typename Traits>
class Owned {
 public:
  using Raw = typename Traits::Raw;
  explicit Owned(Raw raw = Traits::None()) : m_raw(raw) {}
  ~Owned() { Reset(); }
  Owned(Owned&& other) noexcept : m_raw(other.Release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      Reset();
      m_raw = other.Release();
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  Raw Get() const { return m_raw; }
  bool Valid() const { return m_raw != Traits::None(); }
  Raw Release() { return std::exchange(m_raw, Traits::None()); }
  void Reset(Raw raw = Traits::None()) {
    if (Valid()) Traits::Close(m_raw);
    m_raw = raw;
  }
  // Closes ahead of the destructor; ERROR_SUCCESS, or the error of the release call
  // (ERROR_INVALID_HANDLE when there was nothing open).
  DWORD CloseNow() {
    if (!Valid()) return ERROR_INVALID_HANDLE;
    return Traits::Close(Release()) ? ERROR_SUCCESS : ::GetLastError();
  }

 private:
  Raw m_raw;
};

// A file opened by CreateFileW (INVALID_HANDLE_VALUE: none).
struct FileHandleTraits {
  using Raw = HANDLE;
  static Raw None() { return INVALID_HANDLE_VALUE; }
  static bool Close(Raw raw) { return ::CloseHandle(raw) != FALSE; }
};
using FileHandle = Owned<FileHandleTraits>;

// Any other kernel object handle: a process, a thread, a job, a completion port (null: none).
struct KernelHandleTraits {
  using Raw = HANDLE;
  static Raw None() { return nullptr; }
  static bool Close(Raw raw) { return ::CloseHandle(raw) != FALSE; }
};
using KernelHandle = Owned<KernelHandleTraits>;

// A module loaded by LoadLibraryW (null: none).
struct ModuleHandleTraits {
  using Raw = HMODULE;
  static Raw None() { return nullptr; }
  static bool Close(Raw raw) { return ::FreeLibrary(raw) != FALSE; }
};
using ModuleHandle = Owned<ModuleHandleTraits>;

// Memory a system call allocated with LocalAlloc and handed over (FormatMessageW's buffer,
// CommandLineToArgvW's array, a converted security descriptor); null: none.
template <typename Pointer>
struct LocalMemoryTraits {
  using Raw = Pointer;
  static Raw None() { return nullptr; }
  static bool Close(Raw raw) { return ::LocalFree(raw) == nullptr; }
};
template <typename Pointer>
using LocalMemory = Owned<LocalMemoryTraits<Pointer>>;

// One reference to a COM object (null: none).
template <typename Interface>
class ComReference {
 public:
  explicit ComReference(Interface* object = nullptr) : m_object(object) {}
  ~ComReference() { ReleaseNow(); }
  ComReference(const ComReference&) = delete;
  ComReference& operator=(const ComReference&) = delete;

  Interface* operator->() const { return m_object; }
  // Releases ahead of the destructor; the count of references the object has left (0 when
  // none was held).
  unsigned long ReleaseNow() { return m_object != nullptr ? std::exchange(m_object, nullptr)->Release() : 0; }

 private:
  Interface* m_object;
};

}  // namespace platform
