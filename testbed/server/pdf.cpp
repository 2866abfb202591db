#include "pdf.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace tavrolin::testbed {
namespace {

constexpr int kLinesPerPage = 50;
constexpr size_t kWrapColumn = 88;
constexpr int kTop = 740;
constexpr int kLeading = 14;

// Helvetica's built-in WinAnsi encoding is cp1252; characters it lacks become '?'.
std::string ToWinAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, "?", nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(1252, 0, text.data(), static_cast<int>(text.size()), out.data(), n, "?", nullptr);
  return out;
}

std::string PdfString(const std::string& bytes) {
  std::string out = "(";
  for (unsigned char c : bytes) {
    if (c == '(' || c == ')' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", c);
      out += octal;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + ")";
}

std::string HexUtf16(const std::wstring& text) {
  std::string out = "<FEFF";
  char hex[8];
  for (wchar_t c : text) {
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(c));
    out += hex;
  }
  return out + ">";
}

// Breaks at blanks where it can, hard at the column where it cannot.
std::vector<std::string> Wrap(const std::string& line) {
  std::vector<std::string> out;
  std::string rest = line;
  while (rest.size() > kWrapColumn) {
    size_t cut = rest.rfind(' ', kWrapColumn);
    if (cut == std::string::npos || cut == 0) cut = kWrapColumn;
    out.push_back(rest.substr(0, cut));
    rest = rest.substr(cut);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  }
  out.push_back(rest);
  return out;
}

}  // namespace

std::string MakePdf(const std::wstring& title, const std::vector<std::wstring>& lines) {
  std::vector<std::string> wrapped;
  for (const auto& line : lines) {
    for (auto& piece : Wrap(ToWinAnsi(line))) wrapped.push_back(std::move(piece));
  }
  std::vector<std::vector<std::string>> pages;
  for (size_t i = 0; i < wrapped.size(); i += kLinesPerPage) {
    pages.emplace_back(wrapped.begin() + i, wrapped.begin() + std::min(wrapped.size(), i + kLinesPerPage));
  }
  if (pages.empty()) pages.emplace_back();

  // Objects: 1 catalog, 2 page tree, 3 font, 4 info, then a page and its content per page.
  std::vector<std::string> objects(4);
  std::string kids;
  for (size_t p = 0; p < pages.size(); ++p) {
    int pageId = static_cast<int>(5 + 2 * p);
    kids += std::to_string(pageId) + " 0 R ";
    std::string content = "BT\n/F1 10 Tf\n" + std::to_string(kLeading) + " TL\n72 " + std::to_string(kTop) + " Td\n";
    for (const auto& line : pages[p]) content += PdfString(line) + " Tj T*\n";
    content += "ET\n";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
                      "/Contents " + std::to_string(pageId + 1) + " 0 R >>");
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
  }
  objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
  objects[2] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
  objects[3] = "<< /Title " + HexUtf16(title) + " /Producer (PDF Printer stand-in) >>";

  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  char entry[32];
  for (size_t offset : offsets) {
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R /Info 4 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

bool WritePdfFile(const std::wstring& path, const std::string& pdf, std::wstring& error) {
  std::wstring temporary = path + L".partial";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = L"cannot create the file (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(file, pdf.data(), static_cast<DWORD>(pdf.size()), &written, nullptr) && written == pdf.size();
  CloseHandle(file);
  if (ok) ok = MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) {
    error = L"cannot write the file (error " + std::to_wstring(GetLastError()) + L")";
    DeleteFileW(temporary.c_str());
  }
  return ok;
}

}  // namespace tavrolin::testbed
