#pragma once

namespace tavrolin {

// Identifiers of the main window's controls (also read by the end-to-end tests).
enum : int {
  kIdCommand1 = 101,
  kIdCheck1 = 102,
  kIdCheck2 = 103,
  kIdListView1 = 104,
  kIdCheck4 = 105,
  kIdProgressBar1 = 106,
  kIdCheck3 = 107,
};

inline constexpr wchar_t kForm1Class[] = L"TavrolinForm1";
// The hidden window that holds the session's end while an unattended run unwinds.
inline constexpr wchar_t kSessionEndClass[] = L"TavrolinSessionEnd";

// Window property of the main window holding its pointer setting (0, 11 or 99).
inline constexpr wchar_t kMousePointerProperty[] = L"Tavrolin.MousePointer";

}  // namespace tavrolin
