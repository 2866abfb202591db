#pragma once
#include <windows.h>

#include <string>

#include "export/export_run.h"
#include "export/pdf_files.h"

namespace tavrolin::win {

// The system's text for an error code as a sentence, or "Windows error N." when it has none.
std::wstring SystemErrorText(DWORD code);

// The file calls themselves, on paths exactly as given.
class Win32FileCalls final : public FileSystem {
 public:
  bool Exists(const std::wstring& path) override;
  // A read-only or open file is not forced: the reason goes to the user instead.
  bool Delete(const std::wstring& path, std::wstring& reason) override;
  bool MoveAside(const std::wstring& path, const std::wstring& aside,
                 std::wstring& reason) override;
  bool PutBack(const std::wstring& aside, const std::wstring& path, std::wstring& reason) override;
  // Opened for reading with a sharing mode that refuses writers: a printer still writing
  // holds the file open for writing, so the open fails with a sharing violation.
  PdfState CheckPdf(const std::wstring& path) override;
  std::int64_t FileSize(const std::wstring& path) override;
  bool Move(const std::wstring& from, const std::wstring& to, std::wstring& reason) override;
  std::wstring ShortPdfPath() override;
  // Upper case as the invariant locale has it, the folding NTFS names come closest to.
  std::wstring NameKey(const std::wstring& path) override;
};

// The export run's file system: the calls above, every path in its long form.
class Files final : public FileSystem {
 public:
  Files() : long_(calls_) {}
  Files(const Files&) = delete;
  Files& operator=(const Files&) = delete;

  bool Exists(const std::wstring& path) override { return long_.Exists(path); }
  bool Delete(const std::wstring& path, std::wstring& reason) override {
    return long_.Delete(path, reason);
  }
  bool MoveAside(const std::wstring& path, const std::wstring& aside,
                 std::wstring& reason) override {
    return long_.MoveAside(path, aside, reason);
  }
  bool PutBack(const std::wstring& aside, const std::wstring& path, std::wstring& reason) override {
    return long_.PutBack(aside, path, reason);
  }
  PdfState CheckPdf(const std::wstring& path) override { return long_.CheckPdf(path); }
  std::int64_t FileSize(const std::wstring& path) override { return long_.FileSize(path); }
  bool Move(const std::wstring& from, const std::wstring& to, std::wstring& reason) override {
    return long_.Move(from, to, reason);
  }
  std::wstring ShortPdfPath() override { return long_.ShortPdfPath(); }
  std::wstring NameKey(const std::wstring& path) override { return long_.NameKey(path); }

 private:
  Win32FileCalls calls_;
  LongPathFiles long_;
};

}  // namespace tavrolin::win
