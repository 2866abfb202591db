#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/event_pump.h"
#include "export/dialog_driver.h"

namespace tavrolin::testing {

// A window tree and a record of every post, stamped with the pump's clock. Windows keep the
// order in which they were added (their z-order among their siblings). Edit boxes and dialogs
// act on what is posted to them as the real ones do: EM_SETSEL 0,-1 selects the whole text,
// WM_CHAR replaces the selection or adds to the text, a click on a dialog's OK or Cancel button
// (or the command it sends) closes the dialog.
class FakeWindowLayer : public WindowLayer {
 public:
  struct Window {
    WindowId id;
    WindowId parent;
    std::wstring className;
    std::wstring text;
    int controlId = 0;
    WindowId owner = 0;
    bool shown = true;
    bool ours = false;  // a window of the driver's own process
    std::wstring content;  // an edit box's text
    bool allSelected = false;
  };
  struct Post {
    WindowId window;
    unsigned message;
    std::intptr_t wParam;
    std::intptr_t lParam;
    bool wide;
    double at;
  };
  struct Find {
    WindowId parent;
    WindowId after;
    std::wstring className;
    WindowId found;
    double at;
  };

  explicit FakeWindowLayer(EventPump& pump) : pump_(pump) {}

  WindowId Add(WindowId parent, std::wstring className, std::wstring text, int controlId = 0) {
    const WindowId id = nextId_++;
    windows.push_back({id, parent, std::move(className), std::move(text), controlId});
    return id;
  }
  Window& At(WindowId id) {
    return *std::find_if(windows.begin(), windows.end(), [&](const Window& w) { return w.id == id; });
  }
  // A "Save As" dialog with a label, the file-name box and the buttons, in the usual order.
  struct Dialog {
    WindowId dialog, edit, save;
  };
  Dialog AddSaveAs(bool saveBeforeEdit = false, int saveId = kIdOk, const std::wstring& title = L"Save As",
                   const std::wstring& save = L"&Save", const std::wstring& cancel = L"Cancel") {
    Dialog d{};
    d.dialog = Add(0, L"#32770", title);
    Add(d.dialog, L"Static", L"File &name:");
    if (saveBeforeEdit) d.save = Add(d.dialog, L"Button", save, saveId);
    d.edit = Add(d.dialog, L"Edit", L"");
    if (!saveBeforeEdit) d.save = Add(d.dialog, L"Button", save, saveId);
    Add(d.dialog, L"Button", cancel, kIdCancel);
    return d;
  }

  // What the dialog's Save does; true closes it. Given the dialog and the box's text.
  std::function<bool(WindowId, const std::wstring&)> onSave = [](WindowId, const std::wstring&) { return true; };
  bool buttonsIgnoreClicks = false;  // posted mouse messages do nothing
  bool refusesPosts = false;         // every post is refused, as across a rights boundary
  std::function<void(WindowId edit, wchar_t c)> onChar;  // instead of the usual typing

  WindowId FindWindowAfter(WindowId parent, WindowId after, const std::wstring& className,
                           const std::wstring* text) override {
    WindowId found = 0;
    bool passed = after == 0;
    for (const auto& w : windows) {
      if (w.parent != parent) continue;
      if (!passed) {
        passed = w.id == after;
        continue;
      }
      if (w.className == className && (!text || w.text == *text) && (parent != 0 || w.shown)) {
        found = w.id;
        break;
      }
    }
    finds.push_back({parent, after, className, found, pump_.Now()});
    return found;
  }
  std::vector<WindowId> Children(WindowId parent) override {
    std::vector<WindowId> children;
    for (const auto& w : windows) {
      if (w.parent != parent || parent == 0) continue;
      children.push_back(w.id);
      seen_.emplace(w.id, pump_.Now());
    }
    return children;
  }
  WindowId Parent(WindowId window) override { return Known(window) ? At(window).parent : 0; }
  std::wstring ClassName(WindowId window) override { return Known(window) ? At(window).className : L""; }
  int ControlId(WindowId window) override { return Known(window) ? At(window).controlId : 0; }
  std::wstring Caption(WindowId window) override { return Known(window) ? At(window).text : L""; }
  bool Exists(WindowId window) override { return Known(window); }
  // As the platform answers: shown only while every window above it is shown too.
  bool Shown(WindowId window) override {
    return Known(window) && At(window).shown && (At(window).parent == 0 || Shown(At(window).parent));
  }
  bool OfThisProcess(WindowId window) override { return Known(window) && At(window).ours; }
  std::vector<WindowId> OwnedWindows(WindowId owner) override {
    std::vector<WindowId> owned;
    for (const auto& w : windows) {
      if (w.owner == owner && w.shown) owned.push_back(w.id);
    }
    return owned;
  }
  std::optional<std::wstring> ReadText(WindowId window) override {
    ++reads;
    if (Stalled() || !Known(window)) return std::nullopt;
    return At(window).content;
  }
  bool SetText(WindowId window, const std::wstring& text) override {
    setTexts.push_back(text);
    if (Stalled()) return false;
    if (setTextTimeouts > 0) return --setTextTimeouts, false;
    if (!Known(window) || keepsText) return Known(window);
    At(window).content = text;
    return true;
  }
  bool Responds(WindowId window) override { return !Stalled() && Known(window) && pump_.Now() >= busyUntil; }
  // The dialog's thread handles nothing before then: posts wait in its queue, sent messages
  // time out.
  double stalledUntil = 0;
  double busyUntil = 0;    // the dialog's thread takes no sent message before then
  bool keepsText = false;  // WM_SETTEXT does not change the box
  int setTextTimeouts = 0; // so many WM_SETTEXT are not answered within the sent message's bound
  int reads = 0;
  std::vector<std::wstring> setTexts;

  // Latin-1 stands in for the ANSI code page.
  std::optional<unsigned char> AnsiCode(wchar_t c) override {
    if (c <= 0xFF) return static_cast<unsigned char>(c);
    return std::nullopt;
  }

  bool PostNarrow(WindowId window, unsigned message, std::intptr_t wParam, std::intptr_t lParam) override {
    return Record({window, message, wParam, lParam, false, pump_.Now()});
  }
  bool PostWide(WindowId window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    return Record({window, message, static_cast<std::intptr_t>(wParam), lParam, true, pump_.Now()});
  }

  std::vector<Post> PostsTo(WindowId window) const {
    std::vector<Post> result;
    std::copy_if(posts.begin(), posts.end(), std::back_inserter(result),
                 [&](const Post& p) { return p.window == window; });
    return result;
  }
  // When a search first found `window`, or first listed it among its parent's children.
  std::optional<double> FoundAt(WindowId window) const {
    for (const auto& f : finds) {
      if (f.found == window) return f.at;
    }
    if (auto it = seen_.find(window); it != seen_.end()) return it->second;
    return std::nullopt;
  }

  std::vector<Window> windows;
  std::vector<Post> posts;
  std::vector<Find> finds;

 private:
  bool Known(WindowId id) const {
    return std::any_of(windows.begin(), windows.end(), [&](const Window& w) { return w.id == id; });
  }
  bool Stalled() {
    if (pump_.Now() < stalledUntil) return true;
    auto queued = std::move(queued_);
    queued_.clear();
    for (const Post& p : queued) Handle(p);
    return false;
  }
  bool Record(const Post& p) {
    if (refusesPosts || !Known(p.window)) return false;
    posts.push_back(p);
    if (Stalled()) {
      queued_.push_back(p);
    } else {
      Handle(p);
    }
    return true;
  }
  void Handle(const Post& p) {
    if (!Known(p.window)) return;
    Window& w = At(p.window);
    if (w.className == L"Edit") {
      if (p.message == kEmSetSel && p.wParam == 0 && p.lParam == -1) w.allSelected = true;
      if (p.message == kWmChar) {
        if (onChar) return onChar(w.id, static_cast<wchar_t>(p.wParam));
        if (w.allSelected) w.content.clear();
        w.allSelected = false;
        w.content += static_cast<wchar_t>(p.wParam);
      }
    }
    if (w.className == L"Button" && p.message == kWmLButtonUp && !buttonsIgnoreClicks) Command(w.parent, w.controlId);
    if (w.className == L"#32770" && p.message == kWmCommand) Command(w.id, static_cast<int>(p.wParam & 0xFFFF));
  }
  void Command(WindowId dialog, int id) {
    if (!Known(dialog)) return;
    Window& d = At(dialog);
    if (id == kIdCancel || (id == kIdOk && d.owner != 0)) {
      d.shown = false;
      return;
    }
    if (id != kIdOk) return;
    std::wstring typed;
    for (const auto& w : windows) {
      if (w.parent == dialog && w.className == L"Edit") typed = w.content;
    }
    if (onSave(dialog, typed)) d.shown = false;
  }

  EventPump& pump_;
  WindowId nextId_ = 0x100;
  std::map<WindowId, double> seen_;
  std::vector<Post> queued_;
};

}  // namespace tavrolin::testing
