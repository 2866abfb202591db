#pragma once
#include <windows.h>

#include <string>

#include "export/export_run.h"

namespace tavrolin::win {

// The system's own text for an error code, without the trailing line break.
std::wstring SystemErrorText(DWORD code);

// The export run's file system: the existence test of the common routines and DeleteFileW.
class Files final : public FileSystem {
 public:
  bool Exists(const std::wstring& path) override;
  // A read-only or open file is not forced: the reason goes to the user instead.
  bool Delete(const std::wstring& path, std::wstring& reason) override;
};

}  // namespace tavrolin::win
