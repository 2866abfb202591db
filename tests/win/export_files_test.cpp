// The export's file calls against the real file system.
#include <gtest/gtest.h>

#include <windows.h>

#include "export/win/files_win.h"
#include "shared/test_files.h"

namespace tavrolin::win {
namespace {

using testfiles::WriteFileBytes;

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(none)";
  std::string bytes(4096, '\0');
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

class ExportFilesWin : public ::testing::Test {
 protected:
  testfiles::TempFolder folder{L"tavrolin-export-files-"};
  const std::wstring& dir = folder.path();
  Files files;
};

TEST_F(ExportFilesWin, TheOldPdfGoesAsideHiddenAndComesBackWholeOverAHalfWrittenOne) {
  const std::wstring pdf = dir + L"\\Report.pdf";
  const std::wstring aside = AsidePathFor(pdf);
  ASSERT_TRUE(WriteFileBytes(pdf, "%PDF-1.3 old"));
  std::wstring reason;
  ASSERT_TRUE(files.MoveAside(pdf, aside, reason)) << std::string(reason.begin(), reason.end());
  EXPECT_FALSE(files.Exists(pdf));
  EXPECT_TRUE(GetFileAttributesW(aside.c_str()) & FILE_ATTRIBUTE_HIDDEN);

  ASSERT_TRUE(WriteFileBytes(pdf, "%PDF-1.4 half"));
  ASSERT_TRUE(files.PutBack(aside, pdf, reason));
  EXPECT_EQ(ReadBytes(pdf), "%PDF-1.3 old");
  EXPECT_FALSE(GetFileAttributesW(pdf.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(files.Exists(aside));

  // Through a path with ".." parts, which the long form does not resolve by itself.
  EXPECT_TRUE(files.Exists(dir + L"\\sub\\..\\Report.pdf"));
  ASSERT_TRUE(files.Delete(dir + L"\\.\\Report.pdf", reason));
  EXPECT_FALSE(files.Exists(pdf));
}

TEST_F(ExportFilesWin, AReadOnlyOrAnOpenPdfIsNotSetAsideAndTheReasonSaysWhy) {
  const std::wstring readOnly = dir + L"\\locked.pdf";
  ASSERT_TRUE(WriteFileBytes(readOnly, "old"));
  ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  std::wstring reason;
  EXPECT_FALSE(files.MoveAside(readOnly, AsidePathFor(readOnly), reason));
  EXPECT_NE(reason.find(L"read-only"), std::wstring::npos);
  EXPECT_EQ(ReadBytes(readOnly), "old");

  // Open in a viewer that does not share deleting: the rename is refused.
  const std::wstring viewed = dir + L"\\viewed.pdf";
  ASSERT_TRUE(WriteFileBytes(viewed, "old"));
  HANDLE viewer = CreateFileW(viewed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  reason.clear();
  EXPECT_FALSE(files.MoveAside(viewed, AsidePathFor(viewed), reason));
  EXPECT_FALSE(reason.empty());
  CloseHandle(viewer);
  EXPECT_EQ(ReadBytes(viewed), "old");
}

TEST_F(ExportFilesWin, APdfIsCompleteOnlyWhenNoWriterHoldsItAndItBeginsAndEndsAsAPdf) {
  const std::wstring pdf = dir + L"\\new.pdf";
  EXPECT_EQ(files.CheckPdf(pdf), PdfState::Missing);
  HANDLE writer = CreateFileW(pdf.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(writer, "%PDF-1.4 ", 9, &written, nullptr));
  EXPECT_EQ(files.CheckPdf(pdf), PdfState::BeingWritten) << "the header alone is not the file";
  CloseHandle(writer);
  EXPECT_EQ(files.CheckPdf(pdf), PdfState::NoEnd) << "a file cut short after its header";
  ASSERT_TRUE(WriteFileBytes(pdf, "%PDF-1.4 body\n%%EOF\n"));
  EXPECT_EQ(files.CheckPdf(pdf), PdfState::Complete);

  // A printer about to rename its finished file holds it open for deletion.
  HANDLE renamer = CreateFileW(pdf.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(renamer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(files.CheckPdf(pdf), PdfState::Complete);
  CloseHandle(renamer);

  // A reader, such as a viewer that already shows it, does not hold completion back.
  HANDLE reader = CreateFileW(pdf.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(files.CheckPdf(pdf), PdfState::Complete);
  CloseHandle(reader);

  ASSERT_TRUE(WriteFileBytes(pdf, ""));
  EXPECT_EQ(files.CheckPdf(pdf), PdfState::Empty);
  ASSERT_TRUE(WriteFileBytes(pdf, "<html>an error page</html>"));
  EXPECT_EQ(files.CheckPdf(pdf), PdfState::NotPdf);
}

}  // namespace
}  // namespace tavrolin::win
