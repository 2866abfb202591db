// The export's file steps: the old PDF kept until the new one is complete, the wait for the
// printer to finish, and every file call in the long form.
#include <gtest/gtest.h>

#include <map>

#include "common/long_path.h"
#include "export/export_run.h"
#include "export/pdf_files.h"
#include "export/pdf_placement.h"
#include "fakes/fake_pump.h"
#include "shared/fake_pointer.h"

namespace tavrolin {
namespace {

using tavrolin::testing::FakePointer;
using tavrolin::testing::FakePump;

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

// A disk as Windows has it: a path of 260 characters or more is refused unless it is in the
// long form, and the long form must not hold "." or ".." parts or forward slashes. A file the
// printer is writing cannot be replaced or read with writers refused.
class FakeDisk final : public FileSystem {
 public:
  struct File {
    std::string bytes;
    bool writing = false;
    bool readOnly = false;
    bool hidden = false;
    bool undeletable = false;
  };

  bool Exists(const std::wstring& path) override { return Usable(path) && files.count(path); }
  bool Delete(const std::wstring& path, std::wstring& reason) override {
    if (!Usable(path, &reason)) return false;
    auto it = files.find(path);
    if (it == files.end() || it->second.undeletable) return Fail(reason, L"Access is denied.");
    files.erase(it);
    return true;
  }
  bool MoveAside(const std::wstring& path, const std::wstring& aside,
                 std::wstring& reason) override {
    if (!Usable(path, &reason) || !Usable(aside, &reason)) return false;
    auto it = files.find(path);
    if (it == files.end()) return Fail(reason, L"The system cannot find the file specified.");
    if (it->second.readOnly) return Fail(reason, L"Access is denied.");
    if (files.count(aside)) return Fail(reason, L"Cannot create a file when that file already exists.");
    File moved = it->second;
    moved.hidden = true;
    files.erase(it);
    files[aside] = moved;
    return true;
  }
  bool PutBack(const std::wstring& aside, const std::wstring& path, std::wstring& reason) override {
    if (!Usable(path, &reason) || !Usable(aside, &reason)) return false;
    auto it = files.find(aside);
    if (it == files.end()) return Fail(reason, L"The system cannot find the file specified.");
    if (auto target = files.find(path); target != files.end() && target->second.writing) {
      return Fail(reason, L"The process cannot access the file because it is being used.");
    }
    File back = it->second;
    back.hidden = false;
    files.erase(it);
    files[path] = back;
    return true;
  }
  PdfState CheckPdf(const std::wstring& path) override {
    if (!Usable(path)) return PdfState::Missing;
    auto it = files.find(path);
    if (it == files.end()) return PdfState::Missing;
    if (it->second.writing) return PdfState::BeingWritten;
    if (it->second.bytes.empty()) return PdfState::Empty;
    if (it->second.bytes.rfind("%PDF-", 0) != 0) return PdfState::NotPdf;
    return it->second.bytes.find("%%EOF") != std::string::npos ? PdfState::Complete : PdfState::NoEnd;
  }

  std::int64_t FileSize(const std::wstring& path) override {
    auto it = Usable(path) ? files.find(path) : files.end();
    return it == files.end() ? -1 : static_cast<std::int64_t>(it->second.bytes.size());
  }
  bool Move(const std::wstring& from, const std::wstring& to, std::wstring& reason) override {
    if (!Usable(from, &reason) || !Usable(to, &reason)) return false;
    auto it = files.find(from);
    if (it == files.end() || it->second.writing || moveFails) return Fail(reason, L"Access is denied.");
    files[to] = it->second;
    files.erase(from);
    return true;
  }
  std::wstring ShortPdfPath() override { return L"C:\\Temp\\Tavrolin\\1.pdf"; }
  bool MakeFolder(const std::wstring& path, std::wstring& reason) override {
    if (!Usable(path, &reason)) return false;
    if (folderRefused == path) return Fail(reason, L"Access is denied.");
    files[path] = {};
    return true;
  }

  std::map<std::wstring, File> files;  // keyed by the path as the system sees it
  std::vector<std::wstring> refused;
  bool moveFails = false;
  std::wstring folderRefused;

 private:
  static bool Fail(std::wstring& reason, const wchar_t* text) {
    reason = text;
    return false;
  }
  bool Usable(const std::wstring& path, std::wstring* reason = nullptr) {
    const bool isLong = path.rfind(L"\\\\?\\", 0) == 0;
    const bool ok = isLong ? !Contains(path, L"\\.\\") && !Contains(path, L"\\..\\") &&
                                 !Contains(path, L"/")
                           : path.size() < 260;
    if (!ok) {
      refused.push_back(path);
      if (reason) *reason = L"The filename or extension is too long.";
    }
    return ok;
  }
};

// Word and a printer that creates the PDF at once and fills it over `writeSeconds`, the way a
// real PDF printer does. The printer itself reaches any path (it is not ours to test).
class PrinterWord final : public Word {
 public:
  PrinterWord(FakePump& pump, FakeDisk& disk) : pump_(pump), disk_(disk) {}
  bool ConfirmWordClosed() override { return false; }
  void OpenWordDocument(const std::wstring& path, std::unique_ptr<WordApplication>& word) override {
    if (path == openFails) throw AutomationError(L"Documents.Open", L"The file is corrupt.");
    word = std::make_unique<Application>();
  }
  std::wstring PrintToPdfPrinter(WordApplication&, const std::wstring& outputPath) override {
    if (onPrint) onPrint(outputPath);
    const std::wstring target = LongPathForm(outputPath);
    pump_.At(pump_.Now() + 0.5, [this, target] { disk_.files[target] = {"%PDF-1.4 half", true}; });
    if (writeSeconds < 0) return {};  // never finishes
    pump_.At(pump_.Now() + 0.5 + writeSeconds,
             [this, target] { disk_.files[target] = {kNewPdf, false}; });
    return {};
  }
  void OpenNextDocument(const std::wstring&, WordApplication&) override {}
  void CloseDocument(WordApplication&) override {}
  std::wstring ExportToPdf(WordApplication&, const std::wstring& outputPath, const PdfOptions&) override {
    disk_.files[LongPathForm(outputPath)] = {kNewPdf, false};
    return {};
  }
  std::wstring Quit(WordApplication&) override { return {}; }
  std::wstring Dismiss(WordApplication&) override { return {}; }

  static constexpr char kNewPdf[] = "%PDF-1.4 the new one, whole %%EOF";
  std::wstring openFails;
  std::function<void(const std::wstring&)> onPrint;
  double writeSeconds = 3;

 private:
  struct Application final : WordApplication {};
  FakePump& pump_;
  FakeDisk& disk_;
};

class Notices final : public MessageBoxes {
 public:
  void Notify(const std::wstring& text) override {
    shown.push_back(text);
    if (onNotify) onNotify(text);
  }
  Answer AskYesNo(const std::wstring&) override { return Answer::Yes; }
  std::vector<std::wstring> shown;
  std::function<void(const std::wstring&)> onNotify;
};

class NoBar final : public ProgressBar {
 public:
  void SetProgressValue(float) override {}
};

class ExportFiles : public ::testing::Test {
 protected:
  // The run sees the disk through the long-form conversion, as the program's adapter does.
  std::wstring Long(const std::wstring& path) { return LongPathForm(path); }
  std::string Bytes(const std::wstring& path) {
    auto it = disk.files.find(Long(path));
    return it == disk.files.end() ? "(none)" : it->second.bytes;
  }
  void Press() { runner.Press(); }

  FakePump pump;
  FakeDisk disk;
  LongPathFiles files{disk};
  PrinterWord word{pump, disk};
  DocumentList documents;
  FakePointer pointer;
  BusyMark busy{pointer};
  NoBar bar;
  Notices messages;
  RunStop stop{pump};
  ExportRunner runner{{documents, word, files, bar, messages, busy, pump, stop}, ExportBounds{}};
};

TEST_F(ExportFiles, TheOldPdfIsThereByteForByteAfterAFailureAStopOrTheRunUnwinding) {
  const std::wstring doc = L"C:\\Docs\\Report.docx";
  const std::wstring pdf = L"C:\\Docs\\Report.pdf";
  const std::wstring aside = L"C:\\Docs\\~$Report.pdf.tavrolin-aside";
  documents.Append(doc);
  disk.files[Long(pdf)] = {"%PDF-1.3 the old one"};

  word.openFails = doc;
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Failed);
  EXPECT_EQ(Bytes(pdf), "%PDF-1.3 the old one");
  EXPECT_FALSE(disk.files[Long(pdf)].hidden);
  EXPECT_EQ(disk.files.count(Long(aside)), 0u);

  // A stop while the printer writes: the half-written new file gives way to the old one.
  word.openFails.clear();
  word.writeSeconds = 100;
  pump.At(pump.Now() + 5, [&] { runner.Press(); });
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Stopped);
  // The printer held the file, so the copy waited aside; the next export puts it back.
  EXPECT_EQ(Bytes(aside), "%PDF-1.3 the old one");
  disk.files[Long(pdf)].writing = false;  // the printer has let go
  word.openFails = doc;
  Press();
  EXPECT_EQ(Bytes(pdf), "%PDF-1.3 the old one");
  EXPECT_EQ(disk.files.count(Long(aside)), 0u);

  // The window closed during the wait for the PDF: the run unwinds and shows nothing more.
  word.openFails.clear();
  word.writeSeconds = 3;
  pump.At(pump.Now() + 0.2, [&] { pump.quit = true; });
  const auto shown = messages.shown.size();
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Stopped);
  EXPECT_EQ(messages.shown.size(), shown);
  EXPECT_EQ(Bytes(pdf), "%PDF-1.3 the old one");
  EXPECT_EQ(disk.files.count(Long(aside)), 0u);
  EXPECT_TRUE(disk.refused.empty());
}

TEST_F(ExportFiles, DoneShowsOnlyWhenThePrinterHasFinishedThePdf) {
  const std::wstring pdf = L"C:\\Docs\\Report.pdf";
  documents.Append(L"C:\\Docs\\Report.docx");
  disk.files[Long(pdf)] = {"%PDF-1.3 the old one"};
  std::string atDone;
  messages.onNotify = [&](const std::wstring& text) {
    if (text == L"Done.") atDone = Bytes(pdf);
  };
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Done);
  EXPECT_EQ(atDone, PrinterWord::kNewPdf);
  EXPECT_GE(pump.now, 0.5 + 3 + 1) << "it appeared, was finished, then the one second";
  EXPECT_EQ(disk.files.size(), 1u) << "the old copy is gone";
}

TEST_F(ExportFiles, APdfThatIsNeverFinishedIsAnErrorNamingItAndTheOldOneIsKept) {
  const std::wstring pdf = L"C:\\Docs\\Report.pdf";
  documents.Append(L"C:\\Docs\\Report.docx");
  disk.files[Long(pdf)] = {"%PDF-1.3 the old one"};
  word.writeSeconds = -1;
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Failed);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(Contains(messages.shown[0], L"Step: waiting for the printer to finish the PDF " + pdf))
      << messages.shown[0];
  EXPECT_TRUE(Contains(messages.shown[0], L"still writing the PDF after 300 seconds"));
  EXPECT_TRUE(Contains(messages.shown[0], L"Documents exported: 0 of 1."));
  EXPECT_EQ(Bytes(L"C:\\Docs\\~$Report.pdf.tavrolin-aside"), "%PDF-1.3 the old one")
      << "not lost while the printer still holds the new one";
  EXPECT_LT(pump.now, 0.5 + 300 + 0.5);
}

// A sync client or a scanner holding the old copy: a warning naming it, the run goes on, and the
// copy never comes back over the newer PDF.
TEST_F(ExportFiles, AnOldCopyThatCannotBeDeletedIsAWarningAndNeverComesBack) {
  const std::wstring pdf = L"C:\\Docs\\Report.pdf";
  const std::wstring aside = L"C:\\Docs\\~$Report.pdf.tavrolin-aside";
  documents.Append(L"C:\\Docs\\Report.docx");
  documents.Append(L"C:\\Docs\\Next.docx");
  disk.files[Long(pdf)] = {"%PDF-1.3 the old one"};
  disk.files[Long(pdf)].undeletable = true;
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Done);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_TRUE(Contains(messages.shown[0], aside)) << messages.shown[0];
  EXPECT_EQ(messages.shown[1], L"Done.");
  EXPECT_EQ(Bytes(L"C:\\Docs\\Next.pdf"), PrinterWord::kNewPdf) << "the run went on";
  EXPECT_EQ(Bytes(pdf), PrinterWord::kNewPdf);

  // The next export of it fails: the stale copy is not what comes back.
  disk.files[Long(aside)].undeletable = false;
  word.openFails = L"C:\\Docs\\Report.docx";
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Failed);
  EXPECT_EQ(Bytes(pdf), PrinterWord::kNewPdf);
  EXPECT_EQ(disk.files.count(Long(aside)), 0u);
}

// The printer still holds the new file when the old one should come back: the message says
// where each is.
TEST_F(ExportFiles, AFailedRestoreSaysWhereTheOldPdfIs) {
  const std::wstring pdf = L"C:\\Docs\\Report.pdf";
  documents.Append(L"C:\\Docs\\Report.docx");
  disk.files[Long(pdf)] = {"%PDF-1.3 the old one"};
  word.writeSeconds = 100;
  pump.At(5, [&] { runner.Press(); });
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Stopped);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(Contains(messages.shown[0], L"it is kept as C:\\Docs\\~$Report.pdf.tavrolin-aside, and " + pdf +
                                              L" holds a PDF that the printer had not finished."))
      << messages.shown[0];
}

// A slow printer filling a long document: the bound runs from the file's last growth.
TEST_F(ExportFiles, APdfThatKeepsGrowingIsWaitedForPastTheBound) {
  const std::wstring pdf = L"C:\\Docs\\Long.pdf";
  documents.Append(L"C:\\Docs\\Long.docx");
  word.writeSeconds = 1000;
  for (int t = 100; t < 1000; t += 100) {
    pump.At(t, [&, t] { disk.files[Long(pdf)].bytes += std::string(static_cast<std::size_t>(t), 'x'); });
  }
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Done) << messages.shown.front();
  EXPECT_EQ(Bytes(pdf), PrinterWord::kNewPdf);
}

// A PDF path the printers' dialogs cannot take: printed at a short path, then moved beside the
// document; a move that fails names both and leaves the PDF where it is.
TEST_F(ExportFiles, APathTooLongForTheDialogIsPrintedShortAndMovedIntoPlace) {
  std::wstring folder = L"C:\\Docs";
  for (int i = 0; i < 10; ++i) folder += L"\\Projects of the year " + std::to_wstring(2000 + i);
  const std::wstring pdf = folder + L"\\Report.pdf";
  documents.Append(folder + L"\\Report.docx");
  disk.files[Long(pdf)] = {"%PDF-1.3 the old one"};
  std::vector<std::wstring> printedAt;
  word.onPrint = [&](const std::wstring& path) { printedAt.push_back(path); };
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Done) << messages.shown.front();
  EXPECT_EQ(printedAt, std::vector<std::wstring>{L"C:\\Temp\\Tavrolin\\1.pdf"});
  EXPECT_EQ(Bytes(pdf), PrinterWord::kNewPdf);
  EXPECT_EQ(disk.files.size(), 1u);

  disk.moveFails = true;
  messages.shown.clear();
  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Failed);
  EXPECT_TRUE(Contains(messages.shown[0], L"could not be moved from C:\\Temp\\Tavrolin\\1.pdf")) << messages.shown[0];
  EXPECT_TRUE(Contains(messages.shown[0], L"Step: moving the PDF to " + pdf)) << messages.shown[0];
  EXPECT_EQ(Bytes(L"C:\\Temp\\Tavrolin\\1.pdf"), PrinterWord::kNewPdf) << "left where it is";
  EXPECT_EQ(Bytes(pdf), PrinterWord::kNewPdf) << "the PDF before it is back";
}

TEST_F(ExportFiles, DocumentsBeyondTheClassicLimitAreExportedWithEveryCallInTheLongForm) {
  std::wstring folder = L"C:\\Users\\Public\\Documents\\..\\Documents";
  for (int i = 0; i < 12; ++i) folder += L"\\Projects of the year " + std::to_wstring(2000 + i);
  const std::wstring doc = folder + L"\\Report.docx";
  const std::wstring pdf = folder + L"\\Report.pdf";
  ASSERT_GT(pdf.size(), 260u);
  documents.Append(doc);
  disk.files[Long(pdf)] = {"%PDF-1.3 the old one"};
  // And a copy a killed run left aside for it: put back, then set aside again.
  disk.files[Long(AsidePathFor(pdf))] = {"%PDF-1.3 older still"};
  disk.files[Long(AsidePathFor(pdf))].hidden = true;

  Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Done) << messages.shown.front();
  EXPECT_EQ(Bytes(pdf), PrinterWord::kNewPdf);
  EXPECT_EQ(disk.files.size(), 1u);
  EXPECT_TRUE(disk.refused.empty()) << disk.refused.front();

  // Without the conversion the same disk refuses the run: the check above has teeth.
  FakeDisk plain;
  plain.files[pdf] = {"%PDF-1.3 the old one"};
  std::wstring reason;
  PdfAside blind(plain, pdf);
  blind.SetAside(reason);
  EXPECT_FALSE(blind.Holding()) << "the old PDF is not even seen";
  EXPECT_FALSE(plain.refused.empty());
}

TEST(AsidePathFor, IsAHiddenTildeNameBesideThePdfThatFitsTheNameLimit) {
  EXPECT_EQ(AsidePathFor(L"C:\\Docs\\Report.final.pdf"), L"C:\\Docs\\~$Report.final.pdf.tavrolin-aside");
  EXPECT_EQ(AsidePathFor(L"\\\\server\\share\\a.pdf"), L"\\\\server\\share\\~$a.pdf.tavrolin-aside");
  const std::wstring base = L"C:\\Docs\\" + std::wstring(240, L'x');
  const auto first = AsidePathFor(base + L"1.pdf");
  const auto second = AsidePathFor(base + L"2.pdf");
  EXPECT_EQ(first.size() - std::wstring(L"C:\\Docs\\").size(), 255u);
  EXPECT_NE(first, second) << "names that differ only past the cut stay apart";
  EXPECT_EQ(first, AsidePathFor(base + L"1.pdf")) << "found again by the next export";
  EXPECT_EQ(first.rfind(L"C:\\Docs\\~$", 0), 0u);
}

// Into a folder: each document's path below the deepest folder the run's documents share, in the
// folder the user named; a run over drives or shares keeps each below its own's name.
TEST(PdfPlacement, KeepsTheTreeBelowTheSharedFolder) {
  struct Row {
    const char* what;
    std::wstring folder;
    std::vector<std::wstring> documents;
    std::vector<std::wstring> pdfs;
  };
  const std::vector<Row> rows = {
      {"beside, as without a folder", L"", {L"C:\\Docs\\a.docx"}, {L"C:\\Docs\\a.pdf"}},
      {"one document", L"D:\\Out", {L"C:\\Docs\\a.docx"}, {L"D:\\Out\\a.pdf"}},
      {"sibling folders, trailing separator", L"D:\\Out\\",
       {L"C:\\Work\\2024\\a.docx", L"C:\\Work\\2025\\Q1\\b.doc"},
       {L"D:\\Out\\2024\\a.pdf", L"D:\\Out\\2025\\Q1\\b.pdf"}},
      {"folders compared without letter case, spelled as each document has them", L"D:\\Out",
       {L"C:\\Work\\\u00C4rger\\a.docx", L"c:\\WORK\\\u00E4rger\\b.docx", L"C:\\work\\c.docx"},
       {L"D:\\Out\\\u00C4rger\\a.pdf", L"D:\\Out\\\u00E4rger\\b.pdf", L"D:\\Out\\c.pdf"}},
      {"a shared name prefix is not a shared folder", L"D:\\Out",
       {L"C:\\Work\\Report\\a.docx", L"C:\\Work\\Reports\\b.docx"},
       {L"D:\\Out\\Report\\a.pdf", L"D:\\Out\\Reports\\b.pdf"}},
      {"long forms and UNC share the tree of their plain forms", L"D:\\Out",
       {L"\\\\?\\C:\\Work\\x\\a.docx", L"C:\\Work\\y\\b.docx", L"\\\\?\\UNC\\srv\\team\\p\\c.docx"},
       {L"D:\\Out\\C\\Work\\x\\a.pdf", L"D:\\Out\\C\\Work\\y\\b.pdf", L"D:\\Out\\srv\\team\\p\\c.pdf"}},
      {"two drives", L"E:\\", {L"C:\\a\\x.docx", L"d:\\b\\y.docx"}, {L"E:\\C\\a\\x.pdf", L"E:\\D\\b\\y.pdf"}},
      {"one share", L"D:\\Out", {L"\\\\srv\\team\\p\\a.docx", L"\\\\SRV\\Team\\p\\q\\b.docx"},
       {L"D:\\Out\\a.pdf", L"D:\\Out\\q\\b.pdf"}},
  };
  for (const auto& row : rows) {
    const PdfPlacement placement(row.folder, row.documents);
    for (std::size_t i = 0; i < row.documents.size(); ++i) {
      EXPECT_EQ(row.pdfs[i], placement.PdfPathFor(row.documents[i])) << row.what;
    }
  }
  // Added during the run, outside the shared folder: below its drive's name, never above the folder.
  const PdfPlacement placement(L"D:\\Out", {L"C:\\Work\\a.docx"});
  EXPECT_EQ(L"D:\\Out\\C\\Other\\b.pdf", placement.PdfPathFor(L"C:\\Other\\b.docx"));
  EXPECT_FALSE(SameFileName(L"stra\u00DFe", L"STRASSE")) << "one character at a time, as the file system";
}

TEST(MakeFoldersFor, MakesTheMissingFoldersOutermostFirstAndNamesTheOneRefused) {
  FakeDisk disk;
  disk.files[L"D:\\Out"] = {};
  LongPathFiles files(disk);
  std::wstring reason;
  const std::wstring deep = L"D:\\Out\\" + std::wstring(250, L'x') + L"\\y\\a.pdf";
  ASSERT_TRUE(MakeFoldersFor(files, deep, reason)) << reason.size();
  EXPECT_TRUE(files.Exists(FolderOf(deep)));
  EXPECT_TRUE(disk.refused.empty()) << "the long form, also for folders";
  disk.folderRefused = LongPathForm(L"D:\\Out\\z");
  EXPECT_FALSE(MakeFoldersFor(files, L"D:\\Out\\z\\w\\b.pdf", reason));
  EXPECT_TRUE(Contains(reason, L"D:\\Out\\z could not be made: Access is denied.")) << reason.size();
  EXPECT_TRUE(MakeFoldersFor(files, L"E:\\b.pdf", reason)) << "a drive is never made";
}

}  // namespace
}  // namespace tavrolin
