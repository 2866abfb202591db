#pragma once
// The export's file steps around one PDF: the old one set aside until the new one is
// complete, the wait for the printer to finish, and the long form for every path.
#include <functional>
#include <string>

#include "common/event_pump.h"
#include "export/export_run.h"

namespace tavrolin {

// Where the old PDF waits: a hidden name beside it that begins with "~$", which the folder
// scan never adds. Always the same for one PDF, so that a copy left behind is found again; a
// name that would pass the file system's 255 characters is shortened, with a hash of the whole.
std::wstring AsidePathFor(const std::wstring& outputPath);

// The old PDF of the document in hand. Whatever ends the document's steps before Commit (a
// failure, a stop, the run unwinding as the window closes) puts it back on destruction, so no
// path leaves neither the old PDF nor a new one.
class PdfAside {
 public:
  PdfAside(FileSystem& files, std::wstring outputPath);
  ~PdfAside() { Restore(); }
  PdfAside(const PdfAside&) = delete;
  PdfAside& operator=(const PdfAside&) = delete;

  // First deals with a copy an earlier export left aside: put back when no complete PDF is at the
  // output path (a run that never ended), deleted when one is (it is older). Then moves the PDF
  // now at the output path (if any) aside.
  bool SetAside(std::wstring& reason);
  // The new PDF is complete: the old one is deleted. Never restored afterwards, also when the
  // delete fails (the copy then stays, named in `reason`).
  bool Commit(std::wstring& reason);
  // Puts the old PDF back over whatever is at the output path; nothing when none is held.
  // Never throws. False when it could not, with the user's words for where each file now is:
  // the copy stays for the next export to put back.
  bool Restore(std::wstring& reason) noexcept;
  bool Restore() noexcept {
    std::wstring ignored;
    return Restore(ignored);
  }

  bool Holding() const { return holding_; }
  const std::wstring& AsidePath() const { return aside_; }

 private:
  FileSystem& files_;
  std::wstring output_;
  std::wstring aside_;
  bool holding_ = false;
};

// Polls (pumping) until the PDF at `path` is complete, `stop` gives true, `seconds` pass
// without the file changing its size, or `ceilingSeconds` pass in all. Gives the last state
// seen, and in `gaveUpAfter` the bound that ended the wait, if one did.
PdfState WaitForCompletePdf(EventPump& pump, FileSystem& files, const std::wstring& path,
                            double seconds, double ceilingSeconds, const std::function<bool()>& stop,
                            double* gaveUpAfter = nullptr);

// Why a PDF that stayed in `state` for `seconds` does not count as written.
std::wstring IncompletePdfReason(PdfState state, double seconds);

// Hands every path to `inner` in its long form (LongPathForm), so that the file calls behind it
// reach documents beyond the classic 260-character limit.
class LongPathFiles final : public FileSystem {
 public:
  explicit LongPathFiles(FileSystem& inner) : inner_(inner) {}
  bool Exists(const std::wstring& path) override;
  bool Delete(const std::wstring& path, std::wstring& reason) override;
  bool MoveAside(const std::wstring& path, const std::wstring& aside,
                 std::wstring& reason) override;
  bool PutBack(const std::wstring& aside, const std::wstring& path, std::wstring& reason) override;
  PdfState CheckPdf(const std::wstring& path) override;
  std::int64_t FileSize(const std::wstring& path) override;
  bool Move(const std::wstring& from, const std::wstring& to, std::wstring& reason) override;
  std::wstring ShortPdfPath() override { return inner_.ShortPdfPath(); }
  std::wstring NameKey(const std::wstring& path) override { return inner_.NameKey(path); }

 private:
  FileSystem& inner_;
};

}  // namespace tavrolin
