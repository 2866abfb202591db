#pragma once
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/event_pump.h"
#include "export/dialog_driver.h"

namespace tavrolin::testing {

// A window tree and a record of every post, stamped with the pump's clock. Windows keep the
// order in which they were added (their z-order among their siblings).
class FakeWindowLayer : public WindowLayer {
 public:
  struct Window {
    WindowId id;
    WindowId parent;
    std::wstring className;
    std::wstring text;
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

  WindowId Add(WindowId parent, std::wstring className, std::wstring text) {
    const WindowId id = nextId_++;
    windows.push_back({id, parent, std::move(className), std::move(text)});
    return id;
  }
  // A "Save As" dialog with a label, the file-name box and the buttons, in the usual order.
  struct Dialog {
    WindowId dialog, edit, save;
  };
  Dialog AddSaveAs(bool saveBeforeEdit = false) {
    Dialog d{};
    d.dialog = Add(0, L"#32770", L"Save As");
    Add(d.dialog, L"Static", L"File &name:");
    if (saveBeforeEdit) d.save = Add(d.dialog, L"Button", L"&Save");
    d.edit = Add(d.dialog, L"Edit", L"");
    if (!saveBeforeEdit) d.save = Add(d.dialog, L"Button", L"&Save");
    Add(d.dialog, L"Button", L"Cancel");
    return d;
  }

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
      if (w.className == className && (!text || w.text == *text)) {
        found = w.id;
        break;
      }
    }
    finds.push_back({parent, after, className, found, pump_.Now()});
    return found;
  }

  // Latin-1 stands in for the ANSI code page.
  std::optional<unsigned char> AnsiCode(wchar_t c) override {
    if (c <= 0xFF) return static_cast<unsigned char>(c);
    return std::nullopt;
  }

  void PostNarrow(WindowId window, unsigned message, std::intptr_t wParam, std::intptr_t lParam) override {
    posts.push_back({window, message, wParam, lParam, false, pump_.Now()});
  }
  void PostWide(WindowId window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    posts.push_back({window, message, static_cast<std::intptr_t>(wParam), lParam, true, pump_.Now()});
  }

  std::vector<Post> PostsTo(WindowId window) const {
    std::vector<Post> result;
    std::copy_if(posts.begin(), posts.end(), std::back_inserter(result),
                 [&](const Post& p) { return p.window == window; });
    return result;
  }
  // When the first search that found `window` ran.
  std::optional<double> FoundAt(WindowId window) const {
    for (const auto& f : finds) {
      if (f.found == window) return f.at;
    }
    return std::nullopt;
  }

  std::vector<Window> windows;
  std::vector<Post> posts;
  std::vector<Find> finds;

 private:
  EventPump& pump_;
  WindowId nextId_ = 0x100;
};

}  // namespace tavrolin::testing
