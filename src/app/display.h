#pragma once
#include <windows.h>

#include "common/win/window.h"

namespace tavrolin {

// What the display says, with the calls that newer systems add looked up at run time.

// The window's DPI; 0 before Windows 10 1607, where the system DPI holds for every monitor.
int WindowDpi(HWND window);

// The outer size of a window of `style` (no menu, no extended style) whose client area is
// `clientWidth` x `clientHeight` pixels at `dpi`.
SIZE FrameSize(DWORD style, int clientWidth, int clientHeight, int dpi);

// A bold font of `points` at `dpi`.
win::UniqueFont MakeBoldFont(const wchar_t* face, double points, int dpi);

bool HighContrastOn();

}  // namespace tavrolin
