#pragma once
// The printer's "Save As" as the platform draws it: its own GetSaveFileNameW ("system") and
// IFileSaveDialog ("itemdialog"), and a window tree shaped like the Windows 10/11 dialog
// ("windows"), which Wine does not draw. Each runs modally on the calling print-job thread.
#include <windows.h>

#include <string>

#include "testbed/client/testbed_client.h"

namespace tavrolin::testbed {

// The title of a hand-made dialog: the setting, else "Save As" as an English Windows shows it.
std::wstring DialogTitle(const Settings& settings);
// True with the full `path` when `typed` names a file in a folder that exists; logs why not.
bool TargetPath(const std::wstring& typed, std::wstring& path);
// True when the Save button is to ignore this message: a press or release it got through its
// queue while the setting says so.
bool IgnoredClick(const Settings& settings, const MSG& msg, bool toSave);
// When the setting says so: shows the platform's message for a folder the user cannot write to,
// owned by `dialog`, and gives true (the dialog stays open).
bool RefuseIfAsked(const Settings& settings, HWND dialog, const std::wstring& typed);

// Shows the dialog of that kind and gives true with the path it returned once Save was pressed
// on a path it accepts; false when cancelled or `stop` was set. Logs what its windows received.
bool RunPlatformDialog(const std::wstring& kind, const std::wstring& document, const Settings& settings,
                       HANDLE stop, std::wstring& target);

}  // namespace tavrolin::testbed
