#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doclist/add_files.h"

namespace tavrolin {
namespace {

using namespace std::string_literals;
using Paths = std::vector<std::wstring>;

// Records how it was set up and answers each showing from a script.
class FakeDialog : public CommonDialog {
 public:
  struct Showing {
    Outcome outcome;
    std::wstring fileName;
  };
  void SetFileName(const std::wstring& v) override { calls.push_back(L"FileName=" + v); fileName = v; }
  void SetFlags(std::uint32_t v) override { calls.push_back(L"Flags=" + std::to_wstring(v)); }
  void SetDialogTitle(const std::wstring& v) override { calls.push_back(L"DialogTitle=" + v); }
  void SetFilter(const std::wstring& v) override { calls.push_back(L"Filter=" + v); }
  Outcome ShowOpen() override {
    calls.push_back(L"ShowOpen");
    const Showing next = script.at(shown++);
    fileName = next.fileName;
    return next.outcome;
  }
  std::wstring FileName() const override { return fileName; }
  std::uint32_t ErrorCode() const override { return 0x3003; }

  std::vector<Showing> script;
  std::size_t shown = 0;
  std::vector<std::wstring> calls;
  std::wstring fileName = L"left over";
};

class FakeMessages : public MessageBoxes {
 public:
  void Notify(const std::wstring& text) override { notices.push_back(text); }
  Answer AskYesNo(const std::wstring&) override { return Answer::No; }
  std::vector<std::wstring> notices;
};

Paths Texts(const DocumentList& list) {
  Paths texts;
  for (int i = 1; i <= list.Count(); ++i) texts.push_back(list.Text(i));
  return texts;
}

TEST(SplitSelection, OneFileSeveralFilesAndADriveRoot) {
  EXPECT_EQ(SplitSelection(L""), Paths{});
  EXPECT_EQ(SplitSelection(L"C:\\Docs\\a.doc"), Paths{L"C:\\Docs\\a.doc"});
  EXPECT_EQ(SplitSelection(L"C:\\Docs\0a.doc\0b.doc"s), (Paths{L"C:\\Docs\\a.doc", L"C:\\Docs\\b.doc"}));
  EXPECT_EQ(SplitSelection(L"C:\\\0a.doc\0b.doc"s), (Paths{L"C:\\a.doc", L"C:\\b.doc"}));
  // A shared folder keeps the two backslashes that begin it.
  EXPECT_EQ(SplitSelection(L"\\\\server\\share\0a.doc\0b.doc"s),
            (Paths{L"\\\\server\\share\\a.doc", L"\\\\server\\share\\b.doc"}));
  // The dialog's order is kept, whatever it is.
  EXPECT_EQ(SplitSelection(L"D:\\x\0z.doc\0a.doc\0m.docx"s),
            (Paths{L"D:\\x\\z.doc", L"D:\\x\\a.doc", L"D:\\x\\m.docx"}));
}

TEST(AddFilesByDialog, SetsTheDialogUpInOrderBeforeEveryShowing) {
  FakeDialog dialog;
  dialog.script = {{CommonDialog::Outcome::Cancelled, L""}, {CommonDialog::Outcome::Cancelled, L""}};
  DocumentList list;
  FakeMessages messages;
  AddFilesByDialog(dialog, list, messages);
  AddFilesByDialog(dialog, list, messages);
  const std::vector<std::wstring> once = {
      L"FileName=", L"Flags=2621953",
      L"DialogTitle=Add File(s) - Use Ctrl & Shift to select multiple files",
      L"Filter=Word Documents (*.do*)|*.do*|All Files (*.*)|*.*", L"ShowOpen"};
  std::vector<std::wstring> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(dialog.calls, twice);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(messages.notices.empty());
}

TEST(AddFilesByDialog, AppendsChosenFilesAtTheEndAndTheSameFileTwice) {
  FakeDialog dialog;
  dialog.script = {{CommonDialog::Outcome::Chosen, L"C:\\Docs\\a.doc"},
                   {CommonDialog::Outcome::Chosen, L"C:\\\0b.doc\0c.doc"s},
                   {CommonDialog::Outcome::Chosen, L"C:\\Docs\\a.doc"}};
  DocumentList list;
  list.Append(L"E:\\first.doc");
  FakeMessages messages;
  for (int i = 0; i < 3; ++i) AddFilesByDialog(dialog, list, messages);
  EXPECT_EQ(Texts(list), (Paths{L"E:\\first.doc", L"C:\\Docs\\a.doc", L"C:\\b.doc", L"C:\\c.doc",
                                L"C:\\Docs\\a.doc"}));
  EXPECT_TRUE(messages.notices.empty());
}

TEST(AddFilesByDialog, ASelectionThatDidNotFitIsReportedAndNothingIsAdded) {
  FakeDialog dialog;
  dialog.script = {{CommonDialog::Outcome::TooManyFiles, L"C:\\Docs\0a.doc\0b.d"s},
                   {CommonDialog::Outcome::Failed, L""}};
  DocumentList list;
  FakeMessages messages;
  AddFilesByDialog(dialog, list, messages);
  ASSERT_EQ(messages.notices.size(), 1u);
  EXPECT_NE(messages.notices[0].find(L"Too many files"), std::wstring::npos);
  AddFilesByDialog(dialog, list, messages);
  ASSERT_EQ(messages.notices.size(), 2u);
  EXPECT_NE(messages.notices[1].find(L"0x3003"), std::wstring::npos);
  EXPECT_EQ(list.Count(), 0);
}

TEST(AppendDropped, KeepsTheDropOrderAfterWhatIsListed) {
  DocumentList list;
  list.Append(L"C:\\a.doc");
  AppendDropped(list, {L"C:\\z.doc", L"C:\\Folder", L"C:\\a.doc"});
  EXPECT_EQ(Texts(list), (Paths{L"C:\\a.doc", L"C:\\z.doc", L"C:\\Folder", L"C:\\a.doc"}));
}

TEST(DropEffects, RefusesDataWithoutFilesAndNeverReportsAMove) {
  const std::uint32_t all = kDropEffectCopy | kDropEffectMove | kDropEffectLink;
  EXPECT_EQ(DragOverEffect(false, all), kDropEffectNone);
  EXPECT_EQ(DragOverEffect(true, all), all);
  EXPECT_EQ(DragOverEffect(true, kDropEffectMove), kDropEffectMove);
  EXPECT_EQ(DropDoneEffect(false, all), kDropEffectNone);
  EXPECT_EQ(DropDoneEffect(true, all), kDropEffectCopy);
  EXPECT_EQ(DropDoneEffect(true, kDropEffectMove | kDropEffectLink), kDropEffectLink);
  // A source that offers only a move still has its paths listed, and keeps its files.
  EXPECT_EQ(DropDoneEffect(true, kDropEffectMove), kDropEffectNone);
}

}  // namespace
}  // namespace tavrolin
