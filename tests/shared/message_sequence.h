#pragma once
// Window messages as a table of what is expected, compared with what was recorded: an
// unexpected message fails wherever it comes, and the failure shows both sequences side by side.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "export/dialog_driver.h"

namespace tavrolin::testing {

enum MessageFlags : unsigned {
  kPosted = 1,       // posted, not sent
  kWide = 2,         // posted as Unicode
  kCheckWParam = 4,  // wParam must be as expected
  kCheckLParam = 8,
  kOptional = 16,    // may be missing
  kExactPost = kPosted | kCheckWParam | kCheckLParam,
};

// One message: expected (with the flags above) or recorded (posted and wide as they were).
struct WindowMessage {
  std::string window;  // "edit", "save", or the window's id
  unsigned message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  unsigned flags = 0;
};

// What the dialog driver posts for `path`: the whole text selected, every character, then a
// press and release of Save.
inline std::vector<WindowMessage> TypedThenSaved(const std::wstring& path) {
  std::vector<WindowMessage> expected = {{"edit", kEmSetSel, 0, -1, kExactPost}};
  for (wchar_t c : path) expected.push_back({"edit", kWmChar, static_cast<std::uint64_t>(c), 0x00300001, kExactPost});
  expected.push_back({"save", kWmLButtonDown, 1, 0, kExactPost});
  expected.push_back({"save", kWmLButtonUp, 1, 0, kExactPost});
  return expected;
}

inline std::string Describe(const WindowMessage& m, bool expected) {
  const char* name = m.message == kWmChar          ? "WM_CHAR"
                     : m.message == kEmSetSel      ? "EM_SETSEL"
                     : m.message == kWmCommand     ? "WM_COMMAND"
                     : m.message == kWmLButtonDown ? "WM_LBUTTONDOWN"
                     : m.message == kWmLButtonUp   ? "WM_LBUTTONUP"
                                                   : nullptr;
  char number[16], w[24] = "*", l[24] = "*", text[120];
  std::snprintf(number, sizeof number, "0x%04x", m.message);
  if (!expected || (m.flags & kCheckWParam)) {
    const bool shown = m.message == kWmChar && m.wParam >= 0x20 && m.wParam < 0x7F;
    std::snprintf(w, sizeof w, shown ? "0x%llx '%c'" : "0x%llx", static_cast<unsigned long long>(m.wParam),
                  static_cast<char>(m.wParam));
  }
  if (!expected || (m.flags & kCheckLParam)) std::snprintf(l, sizeof l, "0x%llx", static_cast<long long>(m.lParam));
  std::snprintf(text, sizeof text, "%-6s %-14s %-10s %-10s %s%s%s", m.window.c_str(), name ? name : number, w, l,
                m.flags & kPosted ? "posted" : "sent", m.flags & kWide ? " wide" : "",
                expected && (m.flags & kOptional) ? " optional" : "");
  return text;
}

inline bool Matches(const WindowMessage& e, const WindowMessage& a) {
  return e.window == a.window && e.message == a.message &&
         (e.flags & (kPosted | kWide)) == (a.flags & (kPosted | kWide)) &&
         (!(e.flags & kCheckWParam) || e.wParam == a.wParam) && (!(e.flags & kCheckLParam) || e.lParam == a.lParam);
}

// Walks `expected` along `actual`: optional entries may be missing, nothing else may differ,
// be missing or come in addition.
inline ::testing::AssertionResult MatchesSequence(const std::vector<WindowMessage>& expected,
                                                  const std::vector<WindowMessage>& actual) {
  std::vector<std::pair<const WindowMessage*, const WindowMessage*>> rows;
  std::size_t e = 0, a = 0;
  for (;;) {
    if (e < expected.size() && a < actual.size() && Matches(expected[e], actual[a])) {
      rows.emplace_back(&expected[e++], &actual[a++]);
    } else if (e < expected.size() && (expected[e].flags & kOptional)) {
      rows.emplace_back(&expected[e++], nullptr);
    } else {
      break;
    }
  }
  if (e == expected.size() && a == actual.size()) return ::testing::AssertionSuccess();
  const std::size_t differs = rows.size();
  while (e < expected.size() || a < actual.size()) {
    rows.emplace_back(e < expected.size() ? &expected[e++] : nullptr, a < actual.size() ? &actual[a++] : nullptr);
  }
  auto failure = ::testing::AssertionFailure();
  failure << "the messages differ from row " << differs << " on\n";
  char head[160];
  std::snprintf(head, sizeof head, "   %-4s %-56s %s\n", "row", "expected", "actual");
  failure << head;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    char line[200];
    std::snprintf(line, sizeof line, "%s %-4zu %-56s %s\n", i == differs ? ">>" : "  ", i,
                  rows[i].first ? Describe(*rows[i].first, true).c_str() : "-",
                  rows[i].second ? Describe(*rows[i].second, false).c_str() : "-");
    failure << line;
  }
  return failure;
}

}  // namespace tavrolin::testing
