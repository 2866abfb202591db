#include "driver/folder_driver.h"

#include <windows.h>
#include <commctrl.h>

#include "driver/driver.h"

namespace e2e {
namespace {

HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

}  // namespace

void PressKey(WORD virtualKey) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = virtualKey;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

void TypeText(const std::wstring& text) {
  for (wchar_t c : text) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wScan = input[1].ki.wScan = c;
    input[0].ki.dwFlags = KEYEVENTF_UNICODE;
    input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
  }
}

HWND WaitForDialogWithText(DWORD pid, const std::wstring& text, double seconds) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND dialog : TopLevelWindows(pid, L"#32770")) {
          for (HWND child : Children(dialog)) {
            if (WindowText(child) == text) {
              found = dialog;
              return true;
            }
          }
        }
        return false;
      },
      seconds);
  return found;
}

std::wstring TreeItemText(HWND tree, HTREEITEM item) {
  constexpr int kChars = 1024;
  RemoteMemory remote(tree, sizeof(TVITEMW) + kChars * sizeof(wchar_t));
  if (!remote.address() || !item) return {};
  TVITEMW request{};
  request.mask = TVIF_TEXT;
  request.hItem = item;
  request.pszText = reinterpret_cast<wchar_t*>(remote.address() + sizeof(TVITEMW));
  request.cchTextMax = kChars;
  remote.Write(&request, sizeof(request));
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.address()))) return {};
  wchar_t text[kChars] = {};
  remote.Read(text, sizeof(text) - sizeof(wchar_t), sizeof(TVITEMW));
  return text;
}

std::wstring TreeSelectedText(HWND tree) {
  return TreeItemText(tree, Next(tree, nullptr, TVGN_CARET));
}

std::vector<std::wstring> TreeVisibleTexts(HWND tree) {
  std::vector<std::wstring> texts;
  for (HTREEITEM item = Next(tree, nullptr, TVGN_FIRSTVISIBLE); item && texts.size() < 200;
       item = Next(tree, item, TVGN_NEXTVISIBLE)) {
    texts.push_back(TreeItemText(tree, item));
  }
  return texts;
}

std::vector<std::wstring> StepsOnDriveC(const std::vector<std::wstring>& folders) {
  std::vector<std::wstring> steps = {kTreeRoot, kDrivesItem, L"(C:)"};
  steps.insert(steps.end(), folders.begin(), folders.end());
  return steps;
}

namespace {

// Whether `item` holds drive C: among its children; expanded to see, and collapsed again when
// it does not (so that Down goes on to its next sibling).
bool HoldsDriveC(HWND tree, HTREEITEM item) {
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  for (HTREEITEM child = Next(tree, item, TVGN_CHILD); child; child = Next(tree, child, TVGN_NEXT)) {
    if (TreeItemText(tree, child).find(L"(C:)") != std::wstring::npos) return true;
  }
  SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
  return false;
}

}  // namespace

bool PickByKeyboard(HWND tree, const std::vector<std::wstring>& steps, std::wstring& trace) {
  auto selected = [&] { return Next(tree, nullptr, TVGN_CARET); };
  auto press = [&](WORD key, HTREEITEM expected) {
    PressKey(key);
    return WaitFor([&] { return selected() == expected; }, 10);
  };
  // Nothing is selected when the picker opens: a click on the first item selects it and gives
  // the tree the keyboard.
  if (!selected()) {
    HTREEITEM first = Next(tree, nullptr, TVGN_ROOT);
    RemoteMemory remote(tree, sizeof(RECT));
    remote.Write(&first, sizeof(first));
    RECT r{};
    SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote.address()));
    remote.Read(&r, sizeof(r), 0);
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(tree, &at);
    MoveMouseTo(at.x, at.y);
    MouseButton(true);
    MouseButton(false);
    if (!WaitFor([&] { return selected() == first; }, 10)) {
      trace = L"a click on the first item selected nothing";
      return false;
    }
  }
  trace = L"start at \"" + TreeSelectedText(tree) + L"\"";
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::wstring& step = steps[i];
    if (i > 0) {
      // Right expands the current item, a second Right goes to its first child.
      HTREEITEM parent = selected();
      auto expanded = [&] {
        return (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(parent),
                             TVIS_EXPANDED) & TVIS_EXPANDED) &&
               Next(tree, parent, TVGN_CHILD) != nullptr;
      };
      if (!expanded()) PressKey(VK_RIGHT);
      if (!WaitFor(expanded, 10)) {
        trace += L" (no children)";
        return false;
      }
      if (!press(VK_RIGHT, Next(tree, parent, TVGN_CHILD))) {
        trace += L" (Right did not reach the first child)";
        return false;
      }
    }
    // Down through the siblings until the item that holds the step's text.
    const auto arrived = [&] {
      if (step == kTreeRoot) return Next(tree, selected(), TVGN_PARENT) == nullptr;
      if (step == kDrivesItem) return HoldsDriveC(tree, selected());
      return TreeSelectedText(tree).find(step) != std::wstring::npos;
    };
    while (!arrived()) {
      HTREEITEM next = Next(tree, selected(), TVGN_NEXT);
      if (!next || !press(VK_DOWN, next)) {
        trace += L" > \"" + step + L"\" not found";
        return false;
      }
    }
    trace += L" > \"" + TreeSelectedText(tree) + L"\"";
  }
  return true;
}

bool PickInPicker(HWND picker, const std::vector<std::wstring>& steps, std::wstring& trace) {
  HWND tree = nullptr;
  for (HWND child : Children(picker)) {
    if (ClassName(child) == WC_TREEVIEWW) tree = child;
  }
  if (!tree || !WaitFor([&] { return !TreeVisibleTexts(tree).empty(); }, 20)) {
    trace = L"no tree with items in the picker";
    return false;
  }
  if (!PickByKeyboard(tree, steps, trace)) return false;
  PressKey(VK_RETURN);
  return true;
}

}  // namespace e2e
