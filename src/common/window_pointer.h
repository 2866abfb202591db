#pragma once

namespace tavrolin {

// Values of the window-wide pointer setting.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;
inline constexpr int kPointerCustom = 99;
// The list's own setting has one more: the arrow.
inline constexpr int kPointerArrow = 1;

// The window-wide pointer setting of the main window.
class WindowPointer {
 public:
  virtual ~WindowPointer() = default;
  virtual int MousePointer() const = 0;
  virtual void SetMousePointer(int value) = 0;
};

// What is shown when the window is asked for a pointer (WM_SETCURSOR).
enum class PointerShape {
  Own,  // the window under the pointer shows its own (the system's answer, a divider, ...)
  Arrow,
  Hourglass,
  WindowPicture,  // the window's custom picture ("HAND-M.CUR")
  ListPicture,    // the list's custom picture (the drag picture)
};

enum class PointerHit { Client, Frame, Refused };  // Refused: over a window a message box disabled

struct PointerQuery {
  int windowPointer = kPointerDefault;  // the window-wide setting
  int listPointer = kPointerDefault;    // the list's own setting: 0, kPointerArrow or kPointerCustom
  bool windowPicture = false;           // the window's picture is loaded
  bool listPicture = false;             // the list has a picture
  bool overList = false;                // the list or a part of it, such as its header
  PointerHit hit = PointerHit::Client;
  // Asked by the list or its header before they choose their own pointer.
  bool beforeControl = false;
};

// The pointer rules: the window-wide setting decides while it is not 0; at 0 the list shows its
// own setting and everything else its usual pointer. The hourglass shows over the whole window,
// frame, scroll bars and the list's header included.
PointerShape ShownPointer(const PointerQuery& query);

// Hover rule for the buttons: the custom pointer, unless the hourglass shows.
int ButtonHoverPointer(int current);
// Hover rule for the bare window and the list: the default pointer, unless the hourglass shows.
int WindowHoverPointer(int current);

// The busy mark shared by the long operations. Operations may nest (a button pressed while
// another operation pumps events); the hourglass stays until the outermost one ends.
class BusyMark {
 public:
  explicit BusyMark(WindowPointer& pointer) : pointer_(pointer) {}
  BusyMark(const BusyMark&) = delete;
  BusyMark& operator=(const BusyMark&) = delete;

  void Begin();
  // Shows the hourglass again after a step that may have let events change the pointer.
  void Refresh();
  // Ends one operation; the default pointer comes back when no other is running.
  void End();
  int depth() const { return depth_; }

 private:
  WindowPointer& pointer_;
  int depth_ = 0;
};

// Begins a busy operation and ends it on every way out of the scope.
class BusyScope {
 public:
  explicit BusyScope(BusyMark& mark) : mark_(mark) { mark_.Begin(); }
  ~BusyScope() { mark_.End(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  void Refresh() { mark_.Refresh(); }

 private:
  BusyMark& mark_;
};

}  // namespace tavrolin
