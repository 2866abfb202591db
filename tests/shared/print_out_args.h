#pragma once
// The named arguments of PrintOut as the product sends them, in order, with the value as the
// stand-in Word logs it; the tests send them from here and check the log against it.
#include <windows.h>

#include <cwchar>

#include "testbed/client/automation.h"

namespace tavrolin::testing {

struct PrintOutArg {
  const wchar_t* name;
  VARTYPE vt;
  const wchar_t* value;
};

inline constexpr PrintOutArg kPrintOutArgs[] = {
    {L"FileName", VT_BSTR, L""},           {L"Range", VT_I4, L"0"},
    {L"Item", VT_I4, L"0"},                {L"Copies", VT_I2, L"1"},
    {L"Pages", VT_BSTR, L""},              {L"PageType", VT_I4, L"0"},
    {L"ManualDuplexPrint", VT_BOOL, L"0"}, {L"Collate", VT_BOOL, L"-1"},
    {L"Background", VT_BOOL, L"-1"},       {L"PrintToFile", VT_BOOL, L"0"},
    {L"PrintZoomColumn", VT_I2, L"0"},     {L"PrintZoomRow", VT_I2, L"0"},
    {L"PrintZoomPaperWidth", VT_I2, L"0"}, {L"PrintZoomPaperHeight", VT_I2, L"0"},
};

inline void AddPrintOutArgs(tavrolin::testbed::ArgList& a) {
  for (const auto& arg : kPrintOutArgs) {
    const int n = static_cast<int>(std::wcstol(arg.value, nullptr, 10));
    if (arg.vt == VT_BSTR) a.Str(arg.name, arg.value);
    if (arg.vt == VT_I4) a.I4(arg.name, n);
    if (arg.vt == VT_I2) a.I2(arg.name, static_cast<short>(n));
    if (arg.vt == VT_BOOL) a.Bool(arg.name, n != 0);
  }
}

}  // namespace tavrolin::testing
