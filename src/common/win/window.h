#pragma once
#include <windows.h>

#include <functional>
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
inline BOOL WINAPI DeleteBitmap(HBITMAP b) { return DeleteObject(b); }
using UniqueFont = UniqueGdi<HFONT, DeleteFont>;
using UniqueBrush = UniqueGdi<HBRUSH, DeleteBrush>;
using UniqueBitmap = UniqueGdi<HBITMAP, DeleteBitmap>;
using UniqueIcon = UniqueGdi<HICON, DestroyIcon>;
using UniqueCursor = UniqueGdi<HCURSOR, DestroyCursor>;
// A memory device context (CreateCompatibleDC); not for DCs from GetDC or BeginPaint.
using UniqueMemoryDc = UniqueGdi<HDC, DeleteDC>;

// Selects a GDI object into a device context and puts the previous one back at the end of the
// scope, so that the object can be deleted afterwards. A null object selects nothing.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// BeginPaint and EndPaint around the handling of one WM_PAINT.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// One subclass of one window for the life of its owner: installed when made, removed when the
// owner goes or, before that, when the window does. `handler` answers a message with true and
// the result, or leaves it to the window's own procedure with false. The system keeps its
// address, so it is neither copied nor moved.
class Subclass {
 public:
  using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
  Subclass(HWND window, Handler handler);
  ~Subclass();
  Subclass(const Subclass&) = delete;
  Subclass& operator=(const Subclass&) = delete;
  // The window, or null once it is gone.
  HWND hwnd() const { return window_; }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  HWND window_;
  Handler handler_;
};

// A control's WM_COMMAND and WM_NOTIFY, sent back by its parent to the control itself, so that
// whoever subclasses the control handles them and the parent need not know it. The application
// range: no common control uses it.
inline constexpr UINT kReflectedCommand = WM_APP + WM_COMMAND;
inline constexpr UINT kReflectedNotify = WM_APP + WM_NOTIFY;

// For a parent's WM_COMMAND or WM_NOTIFY: sends the reflected message to the child control that
// sent it and gives its answer. False (nothing sent) for menus, accelerators and windows that
// are not children of `parent`.
bool ReflectToControl(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// The focus is kept while a window is inactive and given back on activation, as dialog boxes
// do, so the keyboard goes on where it was after a message box or another program.
class KeptFocus final {
 public:
  // Keeps the child of `window` that has the focus, if one has it.
  void Remember(HWND window);
  // Gives the focus back to the kept child, or to `fallback` when that is gone.
  void Restore(HWND window, HWND fallback) const;

 private:
  HWND kept_ = nullptr;
};

// A tooltip owned by `owner` that shows `text` (kept by the caller) over the child `tool`, in
// lines of at most `maxWidth` pixels.
HWND AddToolTip(HWND owner, HWND tool, const wchar_t* text, int maxWidth);

// Loads a pointer image (.cur or .ico) from a file; empty when it is missing or unreadable.
UniqueCursor LoadPointerFile(const std::wstring& path);

// The Windows folder (GetWindowsDirectoryW); empty when it cannot be read.
std::wstring WindowsDirectory();

// About one start in a hundred opens the home page (the draw seeded by the seconds since
// midnight, local time).
void VisitHomePageOccasionally();

// Starts a program by its full path, shown minimised, without waiting for it.
class MinimizedStarter final : public ProgramStarter {
 public:
  bool Start(const std::wstring& program, const std::wstring& commandLine) override;
};

}  // namespace tavrolin::win
