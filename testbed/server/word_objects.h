#pragma once
#include <windows.h>
#include <oaidl.h>

namespace tavrolin::testbed {

// Posted to the main thread when Word is told to quit.
inline constexpr UINT kQuitRequested = WM_APP + 1;

// A new Application object (one reference), living on the calling (main, STA) thread.
IDispatch* CreateApplication();

}  // namespace tavrolin::testbed
