#include "export/pdf_files.h"

#include <cstdint>
#include <cwchar>

#include "common/long_path.h"
#include "common/text.h"

namespace tavrolin {
namespace {

constexpr wchar_t kAsidePrefix[] = L"~$";
constexpr wchar_t kAsideSuffix[] = L".tavrolin-aside";
constexpr std::size_t kMaxNameLength = 255;

}  // namespace

std::wstring AsidePathFor(const std::wstring& outputPath) {
  const auto separator = outputPath.find_last_of(L"\\/:");
  const std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
  const std::wstring folder = outputPath.substr(0, nameStart);
  std::wstring name = outputPath.substr(nameStart);
  const std::size_t fixed = std::wcslen(kAsidePrefix) + std::wcslen(kAsideSuffix);
  if (name.size() + fixed > kMaxNameLength) {
    std::uint32_t hash = 2166136261u;  // FNV-1a over the whole name
    for (wchar_t c : name) hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
    wchar_t hex[16];
    std::swprintf(hex, 16, L"~%08x", static_cast<unsigned>(hash));
    name = name.substr(0, kMaxNameLength - fixed - std::wcslen(hex)) + hex;
  }
  return folder + kAsidePrefix + name + kAsideSuffix;
}

PdfAside::PdfAside(FileSystem& files, std::wstring outputPath)
    : files_(files), output_(std::move(outputPath)), aside_(AsidePathFor(output_)) {}

bool PdfAside::SetAside(std::wstring& reason) {
  // A run that was killed left the old PDF aside: it is the user's, so it goes back first.
  if (files_.Exists(aside_)) {
    std::wstring why;
    if (!files_.PutBack(aside_, output_, why)) {
      reason = L"The old PDF, kept as " + aside_ + L" by an export that did not end, could not be "
               L"put back: " + why;
      return false;
    }
  }
  if (!files_.Exists(output_)) return true;
  if (!files_.MoveAside(output_, aside_, reason)) return false;
  holding_ = true;
  return true;
}

bool PdfAside::Commit(std::wstring& reason) {
  if (!holding_) return true;
  holding_ = false;
  std::wstring why;
  if (files_.Delete(aside_, why)) return true;
  reason = L"The new PDF is complete, but the old one, kept as " + aside_ +
           L", could not be deleted: " + why;
  return false;
}

bool PdfAside::Restore() noexcept {
  if (!holding_) return true;
  try {
    std::wstring reason;
    if (!files_.PutBack(aside_, output_, reason)) return false;
    holding_ = false;
    return true;
  } catch (...) {
    return false;
  }
}

PdfState WaitForCompletePdf(EventPump& pump, FileSystem& files, const std::wstring& path,
                            double seconds, const std::function<bool()>& stop) {
  PdfState state = PdfState::Missing;
  WaitUntil(
      pump,
      [&] {
        if (stop()) return true;
        state = files.CheckPdf(path);
        return state == PdfState::Complete;
      },
      seconds);
  return state;
}

std::wstring IncompletePdfReason(PdfState state, double seconds) {
  const std::wstring after = L" after " + SecondsText(seconds) + L".";
  switch (state) {
    case PdfState::BeingWritten:
      return L"The printer was still writing the PDF" + after;
    case PdfState::Empty:
      return L"The PDF was still empty" + after;
    case PdfState::NotPdf:
      return L"The file does not begin as a PDF (\"%PDF-\")" + after;
    case PdfState::NoEnd:
      return L"The PDF had no end mark (\"%%EOF\") yet" + after;
    case PdfState::Missing:
      return L"The PDF disappeared again before the printer had finished it.";
    case PdfState::Complete:
      break;
  }
  return {};
}

bool LongPathFiles::Exists(const std::wstring& path) { return inner_.Exists(LongPathForm(path)); }

bool LongPathFiles::Delete(const std::wstring& path, std::wstring& reason) {
  return inner_.Delete(LongPathForm(path), reason);
}

bool LongPathFiles::MoveAside(const std::wstring& path, const std::wstring& aside,
                              std::wstring& reason) {
  return inner_.MoveAside(LongPathForm(path), LongPathForm(aside), reason);
}

bool LongPathFiles::PutBack(const std::wstring& aside, const std::wstring& path,
                            std::wstring& reason) {
  return inner_.PutBack(LongPathForm(aside), LongPathForm(path), reason);
}

PdfState LongPathFiles::CheckPdf(const std::wstring& path) {
  return inner_.CheckPdf(LongPathForm(path));
}

}  // namespace tavrolin
