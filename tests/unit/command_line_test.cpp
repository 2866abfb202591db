#include <gtest/gtest.h>

#include "common/command_line.h"
#include "export/export_choices.h"
#include "export/unattended.h"

namespace tavrolin {
namespace {

using Paths = std::vector<std::wstring>;

TEST(ParseCommandLine, SwitchesInAnySpellingPathsInOrderAndEveryBadLineRefused) {
  struct Row {
    Paths args;
    Paths paths;
    bool exportMode, skip, usage;
    std::wstring report, list;
    bool bad;
  };
  const Row rows[] = {
      {{L"C:\\a b\\x.docx", L"C:\\Docs", L"y.doc"}, {L"C:\\a b\\x.docx", L"C:\\Docs", L"y.doc"}, false, false, false, L"", L"", false},
      {{L"/EXPORT", L"x.doc"}, {L"x.doc"}, true, false, false, L"", L"", false},
      {{L"-export", L"--Skip-Existing"}, {}, true, true, false, L"", L"", false},
      {{L"--export", L"/Report:C:\\r.txt", L"/list:C:\\l.txt"}, {}, true, false, false, L"C:\\r.txt", L"C:\\l.txt", false},
      {{L"/?"}, {}, false, false, true, L"", L"", false},
      {{L"/list:l.txt", L"a.doc"}, {L"a.doc"}, false, false, false, L"", L"l.txt", false},
      // A path that looks like a switch, after "--".
      {{L"/export", L"--", L"-notes.docx"}, {L"-notes.docx"}, true, false, false, L"", L"", false},
      {{L"/exprot"}, {}, false, false, false, L"", L"", true},
      {{L"/export", L"/report"}, {}, true, false, false, L"", L"", true},
      {{L"/export", L"/report:"}, {}, true, false, false, L"", L"", true},
      {{L"/export", L"/report:a", L"/report:b"}, {}, true, false, false, L"a", L"", true},
      {{L"/export:yes"}, {}, false, false, false, L"", L"", true},
      // Alone they would silently do nothing.
      {{L"/report:r.txt", L"a.doc"}, {L"a.doc"}, false, false, false, L"r.txt", L"", true},
      {{L"/skip-existing"}, {}, false, true, false, L"", L"", true},
  };
  for (const auto& row : rows) {
    const CommandLine line = ParseCommandLine(row.args);
    const std::wstring context = row.args.empty() ? L"" : row.args[0];
    EXPECT_EQ(!line.error.empty(), row.bad) << context.size() << " " << line.error.size();
    if (row.bad) continue;
    EXPECT_EQ(line.paths, row.paths);
    EXPECT_EQ(line.exportMode, row.exportMode);
    EXPECT_EQ(line.skipExisting, row.skip);
    EXPECT_EQ(line.usage, row.usage);
    EXPECT_EQ(line.reportFile, row.report);
    EXPECT_EQ(line.listFile, row.list);
  }
}

TEST(ParseCommandLine, TheRoadItsOptionsAndTheOutputFolder) {
  struct Row {
    Paths args;
    bool viaWord, pdfa, markup;
    std::wstring out;
    bool bad;
  };
  const Row rows[] = {
      {{L"/export", L"a.doc"}, false, false, false, L"", false},
      {{L"/export", L"/VIA:Word", L"/pdfa", L"-Markup", L"/out:D:\\PDFs"}, true, true, true, L"D:\\PDFs", false},
      {{L"/export", L"/via:printer", L"/out:D:\\a b\\"}, false, false, false, L"D:\\a b\\", false},
      {{L"/export", L"/pdfa"}, false, true, false, L"", true},
      {{L"/export", L"/via:printer", L"/markup"}, false, false, true, L"", true},
      {{L"/export", L"/via:fax"}, false, false, false, L"", true},
      {{L"/export", L"/via"}, false, false, false, L"", true},
      {{L"/export", L"/out:"}, false, false, false, L"", true},
      {{L"/export", L"/out:a", L"/out:b"}, false, false, false, L"a", true},
      {{L"/export", L"/pdfa:yes", L"/via:word"}, false, false, false, L"", true},
      {{L"/via:word", L"a.doc"}, true, false, false, L"", true},
      {{L"/out:D:\\PDFs"}, false, false, false, L"D:\\PDFs", true},
  };
  for (const auto& row : rows) {
    const CommandLine line = ParseCommandLine(row.args);
    EXPECT_EQ(!line.error.empty(), row.bad) << row.args.size() << " " << line.error.size();
    if (row.bad) continue;
    EXPECT_EQ(line.viaWord, row.viaWord);
    EXPECT_EQ(line.pdfa, row.pdfa);
    EXPECT_EQ(line.markup, row.markup);
    EXPECT_EQ(line.outFolder, row.out);
  }
  EXPECT_NE(UsageText().find(L"/via:word"), std::wstring::npos);
}

// The window's menu of export options: each item does what it says, PDF/A and markup only on
// Word's road, and a cancelled folder picker keeps the choice.
TEST(ExportMenu, EachItemDoesWhatItSays) {
  using I = ExportMenuItem;
  ExportChoices c;
  auto line = [&](I item) {
    for (const auto& l : ExportMenuLines(c)) {
      if (l.item == item) return l;
    }
    return ExportMenuLine{item};
  };
  EXPECT_TRUE(line(I::ByPrinter).checked && line(I::Beside).checked) << "the defaults";
  EXPECT_FALSE(line(I::PdfA).enabled || line(I::Markup).enabled);
  EXPECT_EQ(c, Choose(c, I::PdfA)) << "greyed on the print road";
  c = Choose(Choose(Choose(c, I::ByWord), I::PdfA), I::Markup);
  EXPECT_EQ((ExportChoices{ExportRoad::Word, {true, true}, L""}), c);
  EXPECT_TRUE(line(I::ByWord).checked && !line(I::ByPrinter).checked && line(I::PdfA).enabled);
  EXPECT_EQ(c, Choose(c, I::IntoFolder, L"")) << "the picker cancelled";
  c = Choose(c, I::IntoFolder, L"D:\\PDFs");
  EXPECT_EQ(L"PDFs into D:\\PDFs...", line(I::IntoFolder).text);
  EXPECT_TRUE(line(I::IntoFolder).checked && !line(I::Beside).checked);
  c = Choose(Choose(c, I::Beside), I::ByPrinter);
  EXPECT_EQ(L"", c.folder);
  EXPECT_EQ(ExportRoad::Printer, c.road);
}

TEST(HasArguments, OnlyWhatFollowsTheProgramsNameCounts) {
  const std::pair<const wchar_t*, bool> rows[] = {
      {L"\"C:\\Program Files\\Tavrolin\\tavrolin.exe\"", false},
      {L"\"C:\\Program Files\\Tavrolin\\tavrolin.exe\"  ", false},
      {L"tavrolin.exe", false},
      {L"\"C:\\Program Files\\Tavrolin\\tavrolin.exe\" C:\\a.docx", true},
      {L"\"C:\\Program Files\\Tavrolin\\tavrolin.exe\"/export", true},
      {L"tavrolin.exe\t/?", true},
      {L"", false},
  };
  for (const auto& [line, has] : rows) EXPECT_EQ(HasArguments(line), has) << std::wstring(line).size();
}

TEST(Utf8, RoundTripsEveryPlaneAndReplacesWhatIsNotUtf8) {
  const std::wstring text = L"Gr\u00FC\u00DFe \u65E5\u672C \U0001F600.docx";
  EXPECT_EQ(ToUtf8(text), "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.docx");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  // A byte of another code page, a cut sequence, an overlong slash.
  EXPECT_EQ(FromUtf8("a\xFC" "b"), L"a\uFFFDb");
  EXPECT_EQ(FromUtf8("a\xE6\x97"), L"a\uFFFD");
  EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD");
}

TEST(ListText, Utf16ByItsMarkUtf8WithOrWithoutOneOtherwiseTheCodePage) {
  // The code page's decoder, as the adapter's stands for the system's: it marks what it decoded.
  const auto ansi = [](const std::string& bytes) {
    std::wstring text = L"ansi:";
    for (unsigned char c : bytes) text += static_cast<wchar_t>(c);
    return text;
  };
  const std::pair<std::string, std::wstring> rows[] = {
      {std::string("\xFF\xFE" "C\0:\0\\\0\xFC\0\r\0\n\0", 14), L"C:\\\u00FC\r\n"},   // PowerShell 5.1's ">"
      {std::string("\xFE\xFF\0C\0:\xD8\x3D\xDE\x00", 10), L"C:\U0001F600"},        // big-endian, a surrogate pair
      {"\xEF\xBB\xBF" "Gr\xC3\xBC\xC3\x9F" "e.docx", L"Gr\u00FC\u00DFe.docx"},
      {"Gr\xC3\xBC\xC3\x9F" "e.docx", L"Gr\u00FC\u00DFe.docx"},                       // UTF-8 without its mark
      {"Gr\xFC\xDF" "e.docx", L"ansi:Gr\xFC\xDF" "e.docx"},                           // cmd's "dir /b >"
      {"", L""},
  };
  for (const auto& [bytes, text] : rows) EXPECT_EQ(ListText(bytes, ansi), text) << bytes;
}

TEST(PathsOfList, OneALineAndAReportGivesItsFailedDocuments) {
  const std::wstring folder = L"D:\\Lists";
  const std::pair<std::wstring, ListEntries> rows[] = {
      {L"C:\\a.docx\r\n\r\n  C:\\b c.doc  \nC:\\d.doc", {{L"C:\\a.docx", L"C:\\b c.doc", L"C:\\d.doc"}, {}}},
      {L"", {}},
      {L"exported\t1.2\tC:\\a.docx\nfailed\t0.4\tC:\\b.docx\topening the document in Word\tNeeds a password.\n"
       L"failed\t0.0\tC:\\Docs\tfinding the document\tIt is a folder, not a document.\nskipped\t0.0\tC:\\c.pdf\n"
       L"note\tWord may be open.\ntotal\t3.0\t4 documents: 1 exported\texit code 1\nerror\tNo document was given.\n",
       {{L"C:\\b.docx", L"C:\\Docs"}, {}}},
      // Explorer's "Copy as path", and a line of a report, quoted too.
      {L"\"C:\\a b\\x.docx\"\r\n  \"C:\\y.doc\" \r\nfailed\t0.1\t\"C:\\z.doc\"\tstep\twhy", {{L"C:\\a b\\x.docx", L"C:\\y.doc", L"C:\\z.doc"}, {}}},
      // Relative lines from the list's own folder; a drive, a root or a share is the line's own.
      {L"x.docx\nsub\\y.doc\n..\\z.doc\nE:\\w.doc\n\\\\server\\share\\v.doc",
       {{L"D:\\Lists\\x.docx", L"D:\\Lists\\sub\\y.doc", L"D:\\Lists\\..\\z.doc", L"E:\\w.doc", L"\\\\server\\share\\v.doc"}, {}}},
      // A tab but no report's outcome: neither a path nor the report's, so it is said.
      {L"C:\\a.docx\nC:\\b.docx\tC:\\c.docx\nfailed\t0.4\n", {{L"C:\\a.docx"}, {L"C:\\b.docx\tC:\\c.docx", L"failed\t0.4"}}},
  };
  for (const auto& [text, list] : rows) {
    const ListEntries read = PathsOfList(text, folder);
    EXPECT_EQ(read.paths, list.paths) << text;
    EXPECT_EQ(read.unread, list.unread) << text;
  }
  EXPECT_EQ(FolderOf(L"C:\\Users\\me\\list.txt"), L"C:\\Users\\me");
}

TEST(ParseCommandLine, TheReportIsFoundBehindTheSwitchThatWasRefused) {
  const std::pair<std::vector<std::wstring>, std::wstring> rows[] = {
      {{L"/export", L"/exprot", L"--REPORT:C:\\r.txt"}, L"C:\\r.txt"},
      {{L"-report:r.txt", L"/report:s.txt"}, L"r.txt"},
      {{L"/export", L"/report:"}, L""},
      {{L"/export", L"--", L"/report:r.txt"}, L""},
      {{L"/reports:r.txt"}, L""},
  };
  for (const auto& [arguments, file] : rows) EXPECT_EQ(ParseCommandLine(arguments).reportFile, file) << arguments.back();
}

TEST(HandedPaths, TheReceiverTakesOnlyAWellFormedList) {
  const Paths paths = {L"C:\\a b\\x.docx", L"D:\\Docs"};
  const std::wstring data = EncodeHandedPaths(paths);
  EXPECT_EQ(DecodeHandedPaths(data.c_str(), data.size()), paths);
  EXPECT_FALSE(DecodeHandedPaths(data.c_str(), data.size() - 1)) << "not ended by a NUL";
  EXPECT_FALSE(DecodeHandedPaths(L"a\0\0b\0", 5)) << "an empty path";
  EXPECT_FALSE(DecodeHandedPaths(nullptr, 0));
}

TEST(UnattendedExitCode, EachEndHasItsCode) {
  const std::pair<UnattendedTotals, int> rows[] = {
      {{3, 2, 1, 0}, kExitAllExported},
      {{3, 1, 0, 2}, kExitSomeFailed},
      {{3, 0, 1, 2}, kExitSomeFailed},
      {{3, 0, 0, 3}, kExitNoneExported},
      {{3, 0, 0, 1}, kExitNoneExported},  // two never reached
      {{0}, kExitBadCommandLine},
      {{3, 0, 0, 1, false, true}, kExitPrerequisiteMissing},
      {{3, 1, 0, 0, true}, kExitStopped},
      {{3, 3, 0, 0, false, false, true}, kExitSomeFailed},  // the report could not be written
      {{3, 0, 0, 3, false, false, true}, kExitNoneExported},
  };
  for (const auto& [totals, code] : rows) EXPECT_EQ(UnattendedExitCode(totals), code) << totals.exported;
}

TEST(ReportLine, TabSeparatedWithTheStepAndTheMessageOnOneLine) {
  DocumentResult failed{DocumentResult::Outcome::Failed, L"C:\\a b.docx"};
  failed.failure = {L"opening the document in Word", L"Documents.Open", L"Needs\na password."};
  failed.wordFate = L"That Word instance was ended.";
  EXPECT_EQ(ReportLine(failed, 2.25),
            L"failed\t2.3\tC:\\a b.docx\topening the document in Word (Documents.Open)\tNeeds a password. That "
            L"Word instance was ended.");
  // An exported line names the road that made its PDF where a failed one names its step.
  EXPECT_EQ(ReportLine({DocumentResult::Outcome::Exported, L"C:\\x.doc"}, 12.04), L"exported\t12.0\tC:\\x.doc\tprinter\t");
  DocumentResult byWord{DocumentResult::Outcome::Exported, L"C:\\x.doc"};
  byWord.road = ExportRoad::Word;
  byWord.note = L"Saved through SaveAs2.";
  byWord.wordFate = L"That Word was left running.";
  EXPECT_EQ(ReportLine(byWord, 1), L"exported\t1.0\tC:\\x.doc\tword\tSaved through SaveAs2. That Word was left running.");
  EXPECT_EQ(ReportLine({DocumentResult::Outcome::SkippedUpToDate, L"C:\\x.doc"}, 0),
            L"skipped\t0.0\tC:\\x.doc\t\tIts PDF is newer than the document.");
  EXPECT_EQ(TotalsLine({3, 1, 0, 1}, 61.5), L"total\t61.5\t3 documents: 1 exported, 0 skipped, 1 failed, 1 not "
                                            L"reached\texit code 1");
}

}  // namespace
}  // namespace tavrolin
