#pragma once
// The system's open-file dialog behind the CommonDialog port.
#include <windows.h>

#include <cstddef>

#include "doclist/add_files.h"

namespace tavrolin::win {

// Characters for the selection: a folder and thousands of chosen names must fit. Generous, since
// some dialog implementations write past a buffer that is too small instead of refusing.
inline constexpr std::size_t kOpenDialogBufferChars = 262144;

class OpenFileDialog final : public CommonDialog {
 public:
  explicit OpenFileDialog(HWND owner, std::size_t bufferChars = kOpenDialogBufferChars)
      : owner_(owner), bufferChars_(bufferChars) {}

  void SetFileName(const std::wstring& fileName) override { fileName_ = fileName; }
  void SetFlags(std::uint32_t flags) override { flags_ = flags; }
  void SetDialogTitle(const std::wstring& title) override { title_ = title; }
  void SetFilter(const std::wstring& filter) override { filter_ = filter; }
  Outcome ShowOpen() override;
  std::wstring FileName() const override { return fileName_; }
  std::uint32_t ErrorCode() const override { return error_; }

 private:
  HWND owner_;
  std::size_t bufferChars_;
  std::wstring fileName_;
  std::uint32_t flags_ = 0;
  std::wstring title_;
  std::wstring filter_;
  std::uint32_t error_ = 0;
};

// The selection the dialog left in its buffer: one path, or the folder and the names separated by
// single NULs (the list's own terminating NULs dropped).
std::wstring SelectionFromBuffer(const wchar_t* buffer, std::size_t capacity,
                                 std::size_t fileOffset);

}  // namespace tavrolin::win
