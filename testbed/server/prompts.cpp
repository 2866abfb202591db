#include "prompts.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "document_text.h"
#include "log.h"

namespace tavrolin::testbed {
namespace {

volatile LONG g_inPrompt = 0;

std::uint16_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

// Whether a compound file's directory has a stream of that name. Directory entries are 128
// bytes, aligned to their sector, so every aligned block past the header is looked at: the
// name in UTF-16, its length in bytes with the terminator, and the type 2 (stream).
bool HasStream(const std::string& bytes, const std::string& name) {
  const std::size_t sector = std::size_t{1} << U16(bytes, 30);
  const std::uint16_t nameBytes = static_cast<std::uint16_t>((name.size() + 1) * 2);
  for (std::size_t at = sector; at + 128 <= bytes.size(); at += 128) {
    if (U16(bytes, at + 64) != nameBytes || bytes[at + 66] != 2) continue;
    bool same = true;
    for (std::size_t i = 0; same && i < name.size(); ++i) same = U16(bytes, at + 2 * i) == static_cast<unsigned char>(name[i]);
    if (same) return true;
  }
  return false;
}

bool StartsWith(const std::string& bytes, const std::string& prefix) {
  return bytes.size() >= prefix.size() && bytes.compare(0, prefix.size(), prefix) == 0;
}

LRESULT CALLBACK PromptProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace

FileFormat DetectFormat(const std::string& bytes) {
  if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") && bytes.size() >= 512) {
    const std::uint16_t shift = U16(bytes, 30);
    if (shift == 9 || shift == 12) {
      if (HasStream(bytes, "EncryptedPackage")) return FileFormat::Encrypted;
      if (HasStream(bytes, "WordDocument")) return FileFormat::WordBinary;
    }
    return FileFormat::OtherCompound;
  }
  if (StartsWith(bytes, "PK\x03\x04")) {
    if (ReadDocxPart(bytes).found) return FileFormat::WordOpenXml;
    std::string part;
    if (ReadZipEntry(bytes, "mimetype", part) && part == "application/vnd.oasis.opendocument.text") {
      return FileFormat::OpenDocumentText;
    }
    return FileFormat::OtherCompound;
  }
  if (StartsWith(bytes, "{\\rtf")) return FileFormat::Rtf;
  std::string head = bytes.substr(0, 1024);
  std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::size_t first = head.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  if (first != std::string::npos && head[first] == '<' &&
      (head.find("<html") != std::string::npos || head.find("<!doctype html") != std::string::npos)) {
    return FileFormat::Html;
  }
  return FileFormat::PlainText;
}

bool IsWordFormat(FileFormat format) {
  return format == FileFormat::WordOpenXml || format == FileFormat::WordBinary || format == FileFormat::Encrypted;
}

bool NeedsEncodingChoice(const std::string& bytes) {
  if (StartsWith(bytes, "\xEF\xBB\xBF") || StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) return false;
  return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

void WaitOnPrompt(const std::wstring& which) {
  LogEvent(L"prompt", which);
  InterlockedExchange(&g_inPrompt, 1);
  WNDCLASSW wc{};
  wc.lpfnWndProc = PromptProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TavrolinTestbedPrompt";
  RegisterClassW(&wc);
  // Never shown: the instance is invisible, and so is what it asks.
  CreateWindowExW(WS_EX_DLGMODALFRAME, wc.lpszClassName, which.c_str(), WS_POPUP | WS_CAPTION, 0, 0, 320, 160,
                  nullptr, nullptr, wc.hInstance, nullptr);
  for (;;) {
    MSG msg;
    // The end of the last reference (WM_QUIT) does not answer a question either.
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool InPrompt() { return g_inPrompt != 0; }

}  // namespace tavrolin::testbed
