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
  if (files_.Exists(aside_)) {
    std::wstring why;
    // A complete PDF at its place is newer: the copy was left because it could not be deleted.
    if (files_.CheckPdf(output_) == PdfState::Complete) {
      if (!files_.Delete(aside_, why)) {
        reason = L"An older copy of the PDF, kept as " + aside_ + L" by an earlier export, could not be "
                 L"deleted: " + why;
        return false;
      }
    } else if (!files_.PutBack(aside_, output_, why)) {
      // A run that was killed left the user's old PDF aside.
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

bool PdfAside::Restore(std::wstring& reason) noexcept {
  if (!holding_) return true;
  try {
    std::wstring why;
    if (files_.PutBack(aside_, output_, why)) {
      holding_ = false;
      return true;
    }
    const PdfState there = files_.CheckPdf(output_);
    reason = L"The old PDF could not be put back (" + why + L"): it is kept as " + aside_ + L", and " +
             (there == PdfState::Missing    ? L"nothing is at " + output_ + L"."
              : there == PdfState::Complete ? output_ + L" holds a PDF written by this export."
                                            : output_ + L" holds a PDF that the printer had not finished.");
  } catch (...) {
  }
  return false;
}

PdfState WaitForCompletePdf(EventPump& pump, FileSystem& files, const std::wstring& path,
                            double seconds, double ceilingSeconds, const std::function<bool()>& stop,
                            double* gaveUpAfter) {
  PdfState state = PdfState::Missing;
  std::int64_t size = files.FileSize(path);
  double grewAt = pump.Now();
  bool stalled = false;
  const bool ended = WaitUntil(
      pump,
      [&] {
        if (stop()) return true;
        state = files.CheckPdf(path);
        if (state == PdfState::Complete) return true;
        // A slow printer filling a long document is still at work: its bound starts again.
        if (const std::int64_t now = files.FileSize(path); now != size) {
          size = now;
          grewAt = pump.Now();
        }
        stalled = pump.Now() - grewAt >= seconds;
        return stalled;
      },
      ceilingSeconds);
  if (gaveUpAfter && state != PdfState::Complete && !stop()) {
    *gaveUpAfter = ended && stalled ? seconds : ceilingSeconds;
  }
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

std::int64_t LongPathFiles::FileSize(const std::wstring& path) {
  return inner_.FileSize(LongPathForm(path));
}

bool LongPathFiles::MakeFolder(const std::wstring& path, std::wstring& reason) {
  return inner_.MakeFolder(LongPathForm(path), reason);
}

bool LongPathFiles::Move(const std::wstring& from, const std::wstring& to, std::wstring& reason) {
  return inner_.Move(LongPathForm(from), LongPathForm(to), reason);
}

}  // namespace tavrolin
