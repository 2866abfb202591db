#pragma once
#include <windows.h>

#include <string>

#include "common/home_page.h"

namespace tavrolin::win {

// Moves a top-level window to the centre of the whole screen (not only its work area), left edge
// first, then top edge. Nothing is clamped.
void CenterForm(HWND window);

// Owns a GDI object, an icon or a cursor loaded from a file; copies are deleted.
template <typename Handle, BOOL(WINAPI* Destroy)(Handle)>
class UniqueGdi {
 public:
  UniqueGdi() = default;
  explicit UniqueGdi(Handle h) : h_(h) {}
  ~UniqueGdi() { reset(); }
  UniqueGdi(const UniqueGdi&) = delete;
  UniqueGdi& operator=(const UniqueGdi&) = delete;
  UniqueGdi(UniqueGdi&& other) noexcept : h_(other.release()) {}
  UniqueGdi& operator=(UniqueGdi&& other) noexcept {
    if (this != &other) {
      reset();
      h_ = other.release();
    }
    return *this;
  }
  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  Handle release() {
    Handle h = h_;
    h_ = nullptr;
    return h;
  }
  void reset(Handle h = nullptr) {
    if (h_) Destroy(h_);
    h_ = h;
  }

 private:
  Handle h_ = nullptr;
};

inline BOOL WINAPI DeleteFont(HFONT f) { return DeleteObject(f); }
inline BOOL WINAPI DeleteBrush(HBRUSH b) { return DeleteObject(b); }
using UniqueFont = UniqueGdi<HFONT, DeleteFont>;
using UniqueBrush = UniqueGdi<HBRUSH, DeleteBrush>;
using UniqueIcon = UniqueGdi<HICON, DestroyIcon>;
using UniqueCursor = UniqueGdi<HCURSOR, DestroyCursor>;

// Loads a pointer image (.cur or .ico) from a file; empty when it is missing or unreadable.
UniqueCursor LoadPointerFile(const std::wstring& path);

// The Windows folder (GetWindowsDirectoryW); empty when it cannot be read.
std::wstring WindowsDirectory();

// Starts a program by its full path, shown minimised, without waiting for it.
class MinimizedStarter final : public ProgramStarter {
 public:
  bool Start(const std::wstring& program, const std::wstring& commandLine) override;
};

}  // namespace tavrolin::win
