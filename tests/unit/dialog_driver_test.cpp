// The Save As dialog driver's steps and bounds, against a fake window layer on a fake clock.
#include <gtest/gtest.h>

#include "export/dialog_driver.h"
#include "export/word.h"
#include "fakes/fake_pump.h"
#include "fakes/fake_window_layer.h"
#include "shared/message_sequence.h"

namespace tavrolin {
namespace {

using testing::FakePump;
using testing::FakeWindowLayer;
using testing::kWide;
using testing::MatchesSequence;
using testing::TypedThenSaved;
using testing::WindowMessage;

const std::function<bool()> kNeverStop = [] { return false; };

// Every post, in order, to `d`'s edit box and buttons by name and to any other window by id.
std::vector<WindowMessage> Posted(const FakeWindowLayer& windows, const FakeWindowLayer::Dialog& d) {
  std::vector<WindowMessage> posted;
  for (const auto& p : windows.posts) {
    std::string name = p.window == d.edit ? "edit" : p.window == d.save ? "save" : std::to_string(p.window);
    for (const auto& w : windows.windows) {
      if (w.id == p.window && w.parent == d.dialog && w.controlId == kIdCancel) name = "cancel";
    }
    posted.push_back({name, p.message, static_cast<std::uint64_t>(p.wParam), p.lParam,
                      testing::kPosted | (p.wide ? kWide : 0u)});
  }
  return posted;
}

class DialogDriverTest : public ::testing::Test {
 protected:
  DialogSnapshot Snapshot() { return SnapshotSaveAsDialogs(windows, pump); }
  void Complete(const std::wstring& path, const DialogSnapshot& before,
                const std::function<bool()>& stop = kNeverStop) {
    CompleteSaveAsDialog(path, before, windows, pump, stop, bounds);
  }

  FakePump pump;
  FakeWindowLayer windows{pump};
  DialogBounds bounds;
};

TEST_F(DialogDriverTest, TypesEveryCharacterInOrderThenClicksSave) {
  const auto before = Snapshot();
  FakeWindowLayer::Dialog d{};
  pump.At(1.0, [&] { d = windows.AddSaveAs(); });
  const std::wstring path = L"C:\\Docs\\Report.final.pdf";
  Complete(path, before);
  EXPECT_TRUE(MatchesSequence(TypedThenSaved(path), Posted(windows, d))) << "nothing else is posted, to no other window";
}

// Records how many pumps had run when each message was posted.
class CountingLayer final : public FakeWindowLayer {
 public:
  explicit CountingLayer(FakePump& pump) : FakeWindowLayer(pump), pump_(pump) {}
  bool PostNarrow(WindowId w, unsigned m, std::intptr_t wp, std::intptr_t lp) override {
    pumpsAtPost.push_back(pump_.doEventsCalls);
    return FakeWindowLayer::PostNarrow(w, m, wp, lp);
  }
  std::vector<int> pumpsAtPost;

 private:
  FakePump& pump_;
};

TEST(DialogDriverPumps, OnePumpPerCharacterAndAroundTheClick) {
  FakePump pump;
  CountingLayer windows(pump);
  const auto before = SnapshotSaveAsDialogs(windows, pump);
  windows.AddSaveAs();
  CompleteSaveAsDialog(L"abc", before, windows, pump, kNeverStop, {});
  const auto& at = windows.pumpsAtPost;
  ASSERT_EQ(6u, at.size()) << "select, three characters, press, release";
  EXPECT_EQ(at[0] + 1, at[1]);
  EXPECT_EQ(at[1] + 1, at[2]);
  EXPECT_EQ(at[2] + 1, at[3]);
  EXPECT_EQ(at[3] + 1, at[4]) << "one pump after typing; the box read back is pressed at once";
  EXPECT_EQ(at[4] + 1, at[5]) << "one pump between press and release";
  EXPECT_EQ(at[5] + 1, pump.doEventsCalls) << "and one before the dialog is seen closed";
}

TEST_F(DialogDriverTest, PausesAfterTheEditBoxIsFoundNeverBefore) {
  const auto before = Snapshot();
  FakeWindowLayer::Dialog d{};
  // The dialog shows at 2 s; its edit box is only there half a second later.
  pump.At(2.0, [&] {
    d.dialog = windows.Add(0, L"#32770", L"Save As");
  });
  pump.At(2.5, [&] {
    d.edit = windows.Add(d.dialog, L"Edit", L"");
    d.save = windows.Add(d.dialog, L"Button", L"&Save");
  });
  Complete(L"x", before);

  const auto editFound = windows.FoundAt(d.edit);
  ASSERT_TRUE(editFound);
  const auto chars = windows.PostsTo(d.edit);
  ASSERT_EQ(2u, chars.size()) << "the selection, then the one character";
  EXPECT_GE(chars[0].at - *editFound, 0.4);
  EXPECT_LT(chars[0].at - *editFound, 0.45) << "and not much longer";
  EXPECT_GE(*windows.FoundAt(d.dialog), 2.0);
}

TEST_F(DialogDriverTest, EmptyPathTypesNothingButStillClicks) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs();
  Complete(L"", before);
  EXPECT_TRUE(MatchesSequence(TypedThenSaved(L""), Posted(windows, d)));
}

TEST_F(DialogDriverTest, SaveButtonBeforeTheEditBoxIsTakenOnlyAsTheDefaultButton) {
  {
    bounds.dialogSeconds = 2;
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs(/*saveBeforeEdit=*/true, /*saveId=*/0);
    EXPECT_THROW(Complete(L"C:\\a.pdf", before), AutomationError);
    EXPECT_TRUE(windows.posts.empty()) << "without a Save button it is not the printer's dialog: never typed into";
    windows.At(d.dialog).shown = false;
  }
  windows.posts.clear();
  {
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs(/*saveBeforeEdit=*/true);
    Complete(L"C:\\a.pdf", before);
    EXPECT_TRUE(MatchesSequence(TypedThenSaved(L"C:\\a.pdf"), Posted(windows, d))) << "the dialog's IDOK";
  }
}

TEST_F(DialogDriverTest, ADialogOpenBeforePrintingIsLeftAloneInAnyLanguage) {
  windows.AddSaveAs();  // another program's, open before printing
  windows.AddSaveAs(false, kIdOk, L"Speichern unter", L"&Speichern", L"Abbrechen");
  const auto before = Snapshot();
  FakeWindowLayer::Dialog ours{};
  pump.At(3.0, [&] { ours = windows.AddSaveAs(); });
  Complete(L"C:\\a.pdf", before);
  EXPECT_TRUE(MatchesSequence(TypedThenSaved(L"C:\\a.pdf"), Posted(windows, ours))) << "nothing to the other dialogs";
}

// The printer's dialog in the user's language, or Windows' own PDF printer's: taken by what it
// is. "Save As" is first choice only among several new ones.
TEST_F(DialogDriverTest, TheNewSaveDialogIsTakenWhateverItsTitleSaveAsFirst) {
  struct Row {
    std::vector<std::wstring> titles;  // new dialogs, in z-order
    std::size_t taken;
  };
  const Row rows[] = {
      {{L"Speichern unter"}, 0},
      {{L"\u540d\u524d\u3092\u4ed8\u3051\u3066\u4fdd\u5b58"}, 0},
      {{L"Save Print Output As"}, 0},
      {{L"Druckausgabe speichern unter", L"Save As"}, 1},
      {{L"Enregistrer sous", L"Guardar como"}, 0},
  };
  for (const Row& row : rows) {
    const auto before = Snapshot();
    std::vector<FakeWindowLayer::Dialog> dialogs;
    for (const auto& title : row.titles) dialogs.push_back(windows.AddSaveAs(false, kIdOk, title, L"&Speichern"));
    windows.posts.clear();
    Complete(L"C:\\a.pdf", before);
    for (std::size_t i = 0; i < dialogs.size(); ++i) {
      EXPECT_EQ(i == row.taken, !windows.PostsTo(dialogs[i].edit).empty()) << row.titles.front().size() << " " << i;
      windows.At(dialogs[i].dialog).shown = false;
    }
  }
}

TEST_F(DialogDriverTest, CharactersOutsideTheCodePageGoAsUnicodeTheRestAsAnsiCodes) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs();
  const std::wstring path = L"C:\\\u00e9t\u00e9\\\u0416\u20ac.pdf";
  Complete(path, before);
  auto expected = TypedThenSaved(path);
  for (std::size_t i = 0; i < path.size(); ++i) expected[1 + i].flags |= path[i] > 0xFF ? kWide : 0u;
  EXPECT_TRUE(MatchesSequence(expected, Posted(windows, d))) << "Latin-1 0xE9 stays 0xE9, never negative";
}

TEST_F(DialogDriverTest, NoDialogWithinTheBoundFailsCountingFromThePrintCall) {
  const auto before = Snapshot();
  pump.now = 100;  // printing itself took 100 s
  try {
    Complete(L"C:\\a.pdf", before);
    FAIL() << "returned without a dialog";
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"The printer's save dialog did not appear within 120 seconds.", e.reason());
  }
  EXPECT_GE(pump.now, 120.0);
  EXPECT_LT(pump.now, 121.0);
  EXPECT_TRUE(windows.posts.empty());
}

// A printer's "Printing..." window and a message box are dialog boxes too; neither is the one.
TEST_F(DialogDriverTest, ANewDialogWithoutAFileNameBoxGetsNothingAndTheSearchGoesOn) {
  const auto before = Snapshot();
  const WindowId progress = windows.Add(0, L"#32770", L"Save As");
  windows.Add(progress, L"Static", L"Printing page 1...");
  windows.Add(progress, L"msctls_progress32", L"");
  windows.Add(progress, L"Button", L"Cancel", kIdCancel);
  const WindowId message = windows.Add(0, L"#32770", L"PDF Printer");
  windows.Add(message, L"Static", L"Preparing the document.", 0xFFFF);
  windows.Add(message, L"Button", L"OK", kIdOk);
  FakeWindowLayer::Dialog d{};
  pump.At(4.0, [&] {
    windows.At(progress).shown = false;
    d = windows.AddSaveAs(false, kIdOk, L"Druckausgabe speichern unter", L"&Speichern", L"Abbrechen");
  });
  Complete(L"C:\\a.pdf", before);
  EXPECT_TRUE(MatchesSequence(TypedThenSaved(L"C:\\a.pdf"), Posted(windows, d))) << "nothing to the others";
  EXPECT_GE(pump.now, 4.0);

  // Alone, such a window ends the search only at its bound, still untouched.
  windows.posts.clear();
  bounds.dialogSeconds = 2;
  const auto again = Snapshot();
  pump.At(pump.now + 0.5, [&] { windows.At(progress).shown = true; });
  try {
    Complete(L"C:\\a.pdf", again);
    FAIL() << "returned without a dialog";
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"The printer's save dialog did not appear within 2 seconds.", e.reason());
  }
  EXPECT_TRUE(windows.posts.empty());
}

TEST_F(DialogDriverTest, AWindowOfThisProcessOrNotADialogBoxIsNotTaken) {
  const auto before = Snapshot();
  bounds.dialogSeconds = 1;
  const auto own = windows.AddSaveAs();
  windows.At(own.dialog).ours = true;
  const WindowId notADialog = windows.Add(0, L"Notepad", L"Save As");
  windows.Add(notADialog, L"Edit", L"");
  windows.Add(notADialog, L"Button", L"&Save", kIdOk);
  EXPECT_THROW(Complete(L"C:\\a.pdf", before), AutomationError);
  EXPECT_TRUE(windows.posts.empty());
}

TEST_F(DialogDriverTest, StopDuringTheSearchOrThePauseEndsWithoutTyping) {
  {
    const auto before = Snapshot();
    int polls = 0;
    EXPECT_THROW(Complete(L"C:\\a.pdf", before, [&] { return ++polls > 50; }), StopRequested);
    EXPECT_LT(pump.now, 1.0);
  }
  {
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs();
    const double start = pump.now;
    bool stop = false;
    pump.At(start + 0.2, [&] { stop = true; });
    EXPECT_THROW(Complete(L"C:\\a.pdf", before, [&] { return stop; }), StopRequested);
    const std::vector<WindowMessage> cancelled = {{"cancel", kWmLButtonDown, 1, 0, testing::kExactPost},
                                                  {"cancel", kWmLButtonUp, 1, 0, testing::kExactPost}};
    EXPECT_TRUE(MatchesSequence(cancelled, Posted(windows, d))) << "cancelled, never typed into";
  }
}

// The user says Yes to stopping, or closes the window, while the path is typed or read back:
// the rest is not typed and Save is never pressed.
TEST_F(DialogDriverTest, StopBetweenCharactersOrDuringTheReadBackNeverClicksSave) {
  const std::wstring path = L"C:\\Docs\\memo.pdf";
  const std::vector<WindowMessage> cancelled = {{"cancel", kWmLButtonDown, 1, 0, testing::kExactPost},
                                                {"cancel", kWmLButtonUp, 1, 0, testing::kExactPost}};
  for (const bool duringReadBack : {false, true}) {
    SCOPED_TRACE(duringReadBack ? "during the read-back" : "between characters");
    windows.posts.clear();
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs();
    bool stop = false;
    if (duringReadBack) {
      // A lost character keeps the read-back going.
      windows.onChar = [&](WindowId edit, wchar_t c) {
        if (c != L'm') windows.At(edit).content += c;
      };
      pump.At(pump.now + 1.5, [&] { stop = true; });
    } else {
      pump.onDoEvents = [&] { stop = stop || windows.PostsTo(d.edit).size() >= 5; };
    }
    EXPECT_THROW(Complete(path, before, [&] { return stop; }), StopRequested);
    pump.onDoEvents = nullptr;
    windows.onChar = nullptr;
    auto expected = TypedThenSaved(path);
    expected.resize(duringReadBack ? 1 + path.size() : 5);
    expected.insert(expected.end(), cancelled.begin(), cancelled.end());
    EXPECT_TRUE(MatchesSequence(expected, Posted(windows, d))) << "no Save, no IDOK";
    windows.At(d.dialog).shown = false;
  }
}

TEST_F(DialogDriverTest, AFailedPrintCallEndsTheSearchAtOnce) {
  const auto before = Snapshot();
  bool failed = false;
  pump.At(1.0, [&] { failed = true; });
  EXPECT_THROW(CompleteSaveAsDialog(L"C:\\a.pdf", before, windows, pump, kNeverStop, bounds, [&] { return failed; }),
               AutomationError);
  EXPECT_LT(pump.now, 1.1);
}

// The dialog as real printers show it: which window is the file name box, which the Save button.
struct Shape {
  const char* name;
  // Builds the tree under `dialog`; gives the box and the button (0: none).
  std::function<std::pair<WindowId, WindowId>(FakeWindowLayer&, WindowId)> build;
  const wchar_t* title = L"Save As";
};

// The newer dialog's address bar: its own edit box inside a combo box.
WindowId AddAddressBar(FakeWindowLayer& w, WindowId dialog) {
  const WindowId worker = w.Add(dialog, L"WorkerW", L"");
  const WindowId band = w.Add(w.Add(worker, L"ReBarWindow32", L""), L"Address Band Root", L"");
  const WindowId combo = w.Add(w.Add(w.Add(band, L"msctls_progress32", L""), L"ComboBoxEx32", L""), L"ComboBox", L"");
  return w.Add(combo, L"Edit", L"", kComboEditId);
}

// The newer dialog's view, with the file name box five levels down.
WindowId AddItemsView(FakeWindowLayer& w, WindowId dialog) {
  const WindowId direct = w.Add(w.Add(dialog, L"DUIViewWndClassName", L""), L"DirectUIHWND", L"");
  w.Add(w.Add(direct, L"CtrlNotifySink", L""), L"SHELLDLL_DefView", L"ShellView");
  const WindowId combo = w.Add(w.Add(direct, L"FloatNotifySink", L""), L"ComboBox", L"", 0);
  return w.Add(combo, L"Edit", L"", kComboEditId);
}

const Shape kShapes[] = {
    {"plain",
     [](FakeWindowLayer& w, WindowId d) {
       w.Add(d, L"Static", L"File &name:");
       const WindowId box = w.Add(d, L"Edit", L"", 1148);
       return std::pair{box, w.Add(d, L"Button", L"&Save", kIdOk)};
     }},
    {"classic common dialog",
     [](FakeWindowLayer& w, WindowId d) {
       w.Add(d, L"Static", L"Save &in:", 1091);
       w.Add(d, L"ComboBox", L"", 1137);
       w.Add(d, L"SHELLDLL_DefView", L"", 1121);
       w.Add(d, L"Static", L"File &name:", 1090);
       const WindowId box = w.Add(w.Add(w.Add(d, L"ComboBoxEx32", L"", 1148), L"ComboBox", L""), L"Edit", L"");
       w.Add(d, L"Static", L"Save as &type:", 1089);
       w.Add(d, L"ComboBox", L"", 1136);
       w.Add(d, L"Button", L"Open as &read-only", 1040);
       return std::pair{box, w.Add(d, L"Button", L"&Save", kIdOk)};
     }},
    {"classic dialog keeping its unused edt1 hidden beside the file name combo box",
     [](FakeWindowLayer& w, WindowId d) {
       w.Add(d, L"Static", L"File &name:", 1090);
       w.At(w.Add(d, L"Edit", L"", 1152)).shown = false;
       const WindowId box = w.Add(w.Add(w.Add(d, L"ComboBoxEx32", L"", 1148), L"ComboBox", L""), L"Edit", L"");
       return std::pair{box, w.Add(d, L"Button", L"&Save", kIdOk)};
     }},
    {"newer dialog, address bar after the view",
     [](FakeWindowLayer& w, WindowId d) {
       const WindowId box = AddItemsView(w, d);
       AddAddressBar(w, d);
       const WindowId save = w.Add(d, L"Button", L"&Save", kIdOk);
       w.Add(d, L"Button", L"Cancel", kIdCancel);
       return std::pair{box, save};
     }},
    {"newer dialog, address bar first: two edits, one of them the box",
     [](FakeWindowLayer& w, WindowId d) {
       AddAddressBar(w, d);
       const WindowId box = AddItemsView(w, d);
       return std::pair{box, w.Add(d, L"Button", L"&Save", kIdOk)};
     }},
    {"item dialog: a direct edit, Save without an accelerator",
     [](FakeWindowLayer& w, WindowId d) {
       w.Add(d, L"Static", L"File name:", 1151);
       const WindowId box = w.Add(d, L"Edit", L"", 1152);
       return std::pair{box, w.Add(d, L"Button", L"Save", kIdOk)};
     }},
    {"newer dialog in German: Save is its IDOK",
     [](FakeWindowLayer& w, WindowId d) {
       const WindowId box = AddItemsView(w, d);
       AddAddressBar(w, d);
       const WindowId save = w.Add(d, L"Button", L"&Speichern", kIdOk);
       w.Add(d, L"Button", L"Abbrechen", kIdCancel);
       return std::pair{box, save};
     },
     L"Speichern unter"},
    {"Windows' own PDF printer's item dialog",
     [](FakeWindowLayer& w, WindowId d) {
       const WindowId box = AddItemsView(w, d);
       return std::pair{box, w.Add(d, L"Button", L"&Save", kIdOk)};
     },
     L"Save Print Output As"},
    {"a printer's progress window: no box",
     [](FakeWindowLayer& w, WindowId d) {
       w.Add(d, L"Static", L"Printing...");
       w.Add(d, L"msctls_progress32", L"");
       w.Add(d, L"Button", L"Cancel", kIdCancel);
       return std::pair<WindowId, WindowId>{0, 0};
     },
     L"PDF Printer"},
    {"a message box: no box",
     [](FakeWindowLayer& w, WindowId d) {
       w.Add(d, L"Static", L"The file already exists.", 0xFFFF);
       w.Add(d, L"Button", L"&Ja", 6);
       w.Add(d, L"Button", L"&Nein", kIdNo);
       return std::pair<WindowId, WindowId>{0, 0};
     }},
    {"no box: only an address bar and a combo box without an edit",
     [](FakeWindowLayer& w, WindowId d) {
       AddAddressBar(w, d);
       w.Add(d, L"ComboBox", L"", 1136);
       w.Add(d, L"Button", L"&Save", kIdOk);
       return std::pair<WindowId, WindowId>{0, 0};
     }},
};

TEST(DialogShapes, TheBoxAndTheSaveButtonAreFoundWhereEachDialogKeepsThem) {
  for (const Shape& shape : kShapes) {
    FakePump pump;
    FakeWindowLayer windows(pump);
    const WindowId dialog = windows.Add(0, L"#32770", shape.title);
    const auto [box, save] = shape.build(windows, dialog);
    EXPECT_EQ(box, FindFileNameBox(windows, dialog)) << shape.name;
    if (box) {
      EXPECT_EQ(save, FindSaveButton(windows, dialog, box)) << shape.name;
    }
    EXPECT_EQ(box != 0, IsSaveDialog(windows, dialog)) << shape.name << ": taken as the printer's dialog";
  }
}

TEST_F(DialogDriverTest, ASuggestedNameIsReplacedAndTheNewerDialogsAddressBarGetsNothing) {
  const auto before = Snapshot();
  const WindowId dialog = windows.Add(0, L"#32770", L"Save As");
  const WindowId address = AddAddressBar(windows, dialog);
  const WindowId box = AddItemsView(windows, dialog);
  windows.Add(dialog, L"Button", L"&Save", kIdOk);
  windows.At(box).content = L"Document.pdf";
  Complete(L"C:\\Docs\\memo.pdf", before);
  EXPECT_EQ(L"C:\\Docs\\memo.pdf", windows.At(box).content);
  EXPECT_TRUE(windows.PostsTo(address).empty());
  EXPECT_FALSE(windows.Shown(dialog));
}

TEST_F(DialogDriverTest, ABoxThatLostACharacterIsSetOnceMoreAndOneThatStillDiffersIsAnError) {
  const std::wstring path = L"C:\\Docs\\memo.pdf";
  windows.onChar = [&](WindowId edit, wchar_t c) {
    if (c != L'm') windows.At(edit).content += c;  // as an autocompletion that swallowed it
  };
  {
    // The dialog answers the set only at the third try, each bounded to a few milliseconds.
    windows.setTextTimeouts = 2;
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs();
    Complete(path, before);
    EXPECT_EQ(std::vector<std::wstring>(3, path), windows.setTexts);
    EXPECT_FALSE(windows.Shown(d.dialog)) << "saved";
  }
  windows.keepsText = true;
  {
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs();
    try {
      Complete(path, before);
      FAIL() << "a wrong file name was saved";
    } catch (const AutomationError& e) {
      EXPECT_EQ(L"The printer's save dialog \"Save As\" did not take the file name; its box holds \"C:\\Docs\\eo.pdf\".",
                e.reason());
    }
    EXPECT_TRUE(windows.PostsTo(d.save).empty()) << "never saved";
    EXPECT_FALSE(windows.Shown(d.dialog)) << "cancelled";
  }
}

// The dialog's thread stalls (a folder on a slow share) while the path is typed: the characters
// wait in its queue, and a WM_SETTEXT sent meanwhile would be overtaken by them.
TEST_F(DialogDriverTest, ABoxThatTakesItsCharactersLateIsWaitedForNotSetOver) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs();
  windows.stalledUntil = 3.0;
  std::wstring saved;
  windows.onSave = [&](WindowId, const std::wstring& typed) { return saved = typed, true; };
  Complete(L"C:\\a.pdf", before);
  EXPECT_EQ(L"C:\\a.pdf", saved);
  EXPECT_TRUE(windows.setTexts.empty());
  // Each read is a message it must answer first: not one at every poll.
  EXPECT_LE(windows.reads, 35);
  EXPECT_FALSE(windows.Shown(d.dialog));
}

TEST_F(DialogDriverTest, AnIgnoredClickIsGivenOnceMoreAsTheButtonsCommand) {
  windows.buttonsIgnoreClicks = true;
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs();
  const double start = pump.now;
  Complete(L"C:\\a.pdf", before);
  auto expected = TypedThenSaved(L"C:\\a.pdf");
  expected.push_back({std::to_string(d.dialog), kWmCommand, kIdOk, static_cast<std::int64_t>(d.save), testing::kExactPost});
  EXPECT_TRUE(MatchesSequence(expected, Posted(windows, d)));
  EXPECT_LT(pump.now - start, 0.4 + bounds.closeSeconds + 0.5);
}

// Checking a folder on a network share or a synced drive can keep the dialog busy after Save.
TEST_F(DialogDriverTest, ADialogStillBusyWithThePathIsWaitedForNotPressedAgain) {
  const auto before = Snapshot();
  const auto d = windows.AddSaveAs();
  windows.onSave = [&](WindowId dialog, const std::wstring&) {
    // It closes as its thread finishes with the path, before that thread answers anything else.
    windows.busyUntil = pump.now + 8;
    pump.At(windows.busyUntil - 0.05, [&, dialog] { windows.At(dialog).shown = false; });
    return false;
  };
  Complete(L"C:\\a.pdf", before);
  EXPECT_TRUE(MatchesSequence(TypedThenSaved(L"C:\\a.pdf"), Posted(windows, d)));
}

TEST_F(DialogDriverTest, ADialogThatRefusesThePathEndsInAnErrorWithinSecondsAndIsCancelled) {
  {
    windows.onSave = [](WindowId, const std::wstring&) { return false; };
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs();
    EXPECT_THROW(Complete(L"C:\\a.pdf", before), AutomationError);
    EXPECT_LT(pump.now, 10.0);
    EXPECT_FALSE(windows.Shown(d.dialog));
  }
  {
    // As a real one: it shows its own message, which is read out and closed with the dialog.
    WindowId message = 0;
    windows.onSave = [&](WindowId dialog, const std::wstring&) {
      message = windows.Add(0, L"#32770", L"Save As");
      windows.At(message).owner = dialog;
      windows.Add(message, L"Static", L"You don't have permission to save in this location.", 0xFFFF);
      windows.Add(message, L"Button", L"OK", kIdOk);
      return false;
    };
    const auto before = Snapshot();
    const auto d = windows.AddSaveAs();
    const double start = pump.now;
    try {
      Complete(L"C:\\a.pdf", before);
      FAIL() << "a refused path passed";
    } catch (const AutomationError& e) {
      EXPECT_EQ(L"The printer's save dialog \"Save As\" refused the file name: \"You don't have permission to save in "
                L"this location.\"", e.reason());
    }
    EXPECT_LT(pump.now - start, 0.4 + bounds.closeSeconds + 0.5) << "a message needs no second press";
    EXPECT_FALSE(windows.Shown(message));
    EXPECT_FALSE(windows.Shown(d.dialog));
  }
}

TEST_F(DialogDriverTest, APostTheSystemRefusesIsAnErrorAtOnce) {
  const auto before = Snapshot();
  windows.AddSaveAs();
  windows.refusesPosts = true;
  try {
    Complete(L"C:\\a.pdf", before);
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_NE(std::wstring::npos, e.reason().find(L"higher rights")) << "says why";
  }
  EXPECT_LT(pump.now, 0.5);
}

}  // namespace
}  // namespace tavrolin
