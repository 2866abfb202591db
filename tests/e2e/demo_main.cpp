// The whole job on the sample documents, through the real window, with the end-to-end driver
// acting as the user: two documents through the open dialog, a folder through the input box and
// the folder picker, the export, "Done.". Prints each step and each PDF with
// its page count and first line; exits 1 at the first step that fails. Run by scripts/demo.sh,
// which lists the screenshots of the steps.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/window_pointer.h"
#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/folder_driver.h"
#include "testbed/client/testbed_client.h"

using namespace e2e;
namespace testbed = tavrolin::testbed;

namespace {

// Near the top of the picker's tree, so the folder is a few key presses away.
constexpr wchar_t kFolderName[] = L"tavrolin-demo";
constexpr wchar_t kSubfolder[] = L"chapters";
constexpr double kExportSeconds = 300;  // four documents under Wine, generously

// A document of the demo, copied from the samples, and the first line its PDF must carry
// (the texts are those of testbed/samples/make_samples.py).
struct Document {
  std::wstring sample;    // under the samples folder
  std::wstring relative;  // under the demo folder
  std::wstring firstLine;
};
const std::vector<Document> kDocuments = {
    {L"report.docx", L"report.docx", L"Quarterly report"},
    {L"letter.docx", L"letter.docx", L"Dear reader,"},
    {L"nested\\chapter 1.docx", L"chapters\\chapter 1.docx", L"Chapter one"},
    {L"nested\\deeper\\chapter 2.docx", L"chapters\\deeper\\chapter 2.docx", L"Chapter two"},
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

// The host's path of a file, so the person running the demo can open it; Wine's own mapping
// (the demo exists only on the test bed), else the Windows path.
std::string HostPath(const std::wstring& path) {
  using Fn = char*(CDECL*)(LPCWSTR);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = fn ? fn(path.c_str()) : nullptr;
  if (!unix) return Utf8(path);
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

// The first line of the document's own text: the stand-in printer heads each page with the
// document's name and path ("Source: ...", "Path: ...").
std::wstring FirstLine(const std::wstring& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find_first_of(L"\r\n\f", at), text.size());
    std::wstring line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && line.back() == L' ') line.pop_back();
    if (line.empty() || line.rfind(L"Source: ", 0) == 0 || line.rfind(L"Path: ", 0) == 0) continue;
    return line;
  }
  return {};
}

class Demo {
 public:
  int Run();

 private:
  bool Fail(const std::string& what) {
    std::printf("demo FAILED at step %d: %s\n", step_, what.c_str());
    std::fflush(stdout);
    return false;
  }
  // One step done: a line, and its screenshot (the whole screen, dialogs included) as
  // <screenshots>/demo/<step>_<shot>.bmp, which scripts/demo.sh turns into PNG and lists.
  bool Done(const std::string& what, const wchar_t* shot) {
    Settle();
    const std::wstring path = shots_ + L"\\" + std::to_wstring(step_) + L"_" + shot + L".bmp";
    if (!SaveScreenshot(nullptr, path)) return Fail("no screenshot " + Utf8(path));
    std::printf("step %d: %s\n", step_, what.c_str());
    std::fflush(stdout);
    ++step_;
    return true;
  }
  // Every window of the program has handled what it was sent and painted itself, so that the
  // screenshot shows what a person would see.
  void Settle() {
    if (!app_) return;
    for (HWND window : TopLevelWindows(app_->Pid())) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
  }
  HWND List() const { return app_->Control(tavrolin::kIdListView1); }

  bool Prepare();
  bool AddTwoThroughTheOpenDialog();
  bool AddTheFolder();
  bool Export();
  bool ReportPdfs();
  bool CatchSaveAs();

  int step_ = 1;
  std::wstring dir_;
  std::wstring shots_;
  std::vector<std::wstring> paths_;
  std::unique_ptr<App> app_;
};

bool Demo::Prepare() {
  testbed::KillStandIns();
  testbed::Reset();  // a working Word and printer
  dir_ = std::wstring(L"C:\\") + kFolderName;
  RemoveTree(dir_);
  shots_ = ScreenshotDir() + L"\\demo";
  RemoveTree(shots_);
  CreateDirectoryW(shots_.c_str(), nullptr);
  for (const wchar_t* folder : {L"", L"\\chapters", L"\\chapters\\deeper"}) {
    CreateDirectoryW((dir_ + folder).c_str(), nullptr);
  }
  const std::wstring samples = testbed::SamplesDirectory();
  for (const auto& document : kDocuments) {
    const std::wstring to = dir_ + L"\\" + document.relative;
    if (!CopyFileW((samples + L"\\" + document.sample).c_str(), to.c_str(), FALSE)) {
      return Fail("cannot copy the sample " + Utf8(samples + L"\\" + document.sample));
    }
    paths_.push_back(to);
  }
  // Not a Word document: the folder step must leave it out.
  CopyFileW((samples + L"\\nested\\deeper\\readme.txt").c_str(),
            (dir_ + L"\\chapters\\deeper\\readme.txt").c_str(), FALSE);
  std::printf("demo: the documents are in %s\n", HostPath(dir_).c_str());

  MoveMouseTo(2, 2);  // away from the window, where no hover changes the pointer
  app_ = std::make_unique<App>();
  if (!app_->Started()) return Fail("tavrolin.exe did not show its window");
  return Done("Tavrolin is open", L"window");
}

bool Demo::AddTwoThroughTheOpenDialog() {
  PressButton(app_->Control(tavrolin::kIdCheck1));
  HWND dialog = WaitForOpenDialog(app_->Pid());
  if (!dialog) return Fail("\"Add Word File(s)\" showed no open dialog");
  // Into the folder first, as a user would browse to it, then both names selected at once.
  if (!WaitFor([&] { return FileNameBox(dialog) != nullptr; }, 10)) return Fail("no file name box");
  SendMessageW(FileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(dir_.c_str()));
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(dialog, WM_COMMAND, IDOK, 0, SMTO_NORMAL, 10000, &ignored);
  const std::wstring both = L"\"report.docx\" \"letter.docx\"";
  const bool shown = WaitFor([&] {
    HWND box = FileNameBox(dialog);
    if (WindowText(box) != both) SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(both.c_str()));
    return WindowText(box) == both;
  }, 10);
  if (!shown) return Fail("the open dialog's file name box does not keep the names");
  if (!Done("the open dialog, two documents chosen", L"open_dialog")) return false;
  if (!FillOpenDialog(dialog, {both})) return Fail("the open dialog did not close");
  if (!WaitForListTexts(List(), {paths_[0], paths_[1]})) return Fail("the two documents are not listed");
  return Done("two documents in the list", L"two_added");
}

bool Demo::AddTheFolder() {
  PressButton(app_->Control(tavrolin::kIdCheck4));
  HWND input = WaitForDialogWithText(app_->Pid(), L"Enter file extension to load:", 20);
  if (!input) return Fail("\" Add All Word Files In Folder\" showed no input box");
  TypeText(L"docx");  // replaces the selected default
  HWND edit = nullptr;
  for (HWND child : Children(input)) {
    if (ClassName(child) == L"Edit") edit = child;
  }
  if (!edit || !WaitFor([&] { return WindowText(edit) == L"docx"; }, 10)) {
    return Fail("the input box did not take the extension");
  }
  if (!Done("the input box, extension docx", L"input_box")) return false;
  PressKey(VK_RETURN);

  HWND picker = WaitForDialogWithText(app_->Pid(), L"Please select folder to add:", 20);
  if (!picker) return Fail("no folder picker");
  HWND tree = nullptr;
  for (HWND child : Children(picker)) {
    if (ClassName(child) == WC_TREEVIEWW) tree = child;
  }
  if (!tree || !WaitFor([&] { return !TreeVisibleTexts(tree).empty(); }, 20)) {
    return Fail("the folder picker shows no folders");
  }
  std::wstring trace;
  if (!PickByKeyboard(tree, StepsOnDriveC({kFolderName, kSubfolder}), trace)) {
    return Fail("cannot reach the folder in the picker: " + Utf8(trace));
  }
  if (!Done("the folder picker on " + Utf8(dir_) + "\\chapters", L"folder_picker")) return false;
  PressKey(VK_RETURN);

  if (!WaitForListTexts(List(), paths_, 60)) return Fail("the folder's documents are not listed");
  if (!WaitFor([&] { return MousePointerOf(app_->Window()) == tavrolin::kPointerDefault; }, 60)) {
    return Fail("the hourglass stayed after adding the folder");
  }
  return Done("four documents in the list", L"folder_added");
}

// The printer's "Save As" for the first document, on the screen with the path typed in. Its
// Save button ignores posted clicks (as a real one of a dialog that is not active may), so the
// dialog stays while Tavrolin waits to press it once more; the documents after it are as usual.
bool Demo::CatchSaveAs() {
  const std::wstring pdf = paths_[0].substr(0, paths_[0].rfind(L'.')) + L".pdf";
  HWND dialog = nullptr;
  const auto typed = [&] {
    dialog = FindWindowW(L"#32770", L"Save As");
    HWND box = dialog && IsWindowVisible(dialog) ? FileNameBox(dialog) : nullptr;
    wchar_t text[MAX_PATH * 2] = {};
    DWORD_PTR copied = 0;
    return box &&
           SendMessageTimeoutW(box, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 200,
                               &copied) &&
           pdf == text;
  };
  const bool seen = WaitFor(typed, 120);
  testbed::Reset();
  if (!seen) return Fail("the printer's \"Save As\" was not seen with " + Utf8(pdf) + " typed in");
  // Time to paint the typed path; it closes only after Tavrolin's second press.
  WaitFor([&] { return !IsWindowVisible(dialog); }, 0.5);
  return Done("the printer's \"Save As\" (the platform's own dialog), the path typed in by Tavrolin", L"save_as_dialog");
}

bool Demo::Export() {
  testbed::Settings first;
  first.ignorePostedClick = true;
  testbed::Apply(first);
  PressButton(app_->Control(tavrolin::kIdCheck2));
  if (!CatchSaveAs()) return false;
  auto box = WaitForMessageBox(app_->Pid(), kExportSeconds);
  if (!box) return Fail("no message within " + std::to_string(static_cast<int>(kExportSeconds)) + " s of the export");
  if (box->text != L"Done.") return Fail("the export ended with: " + Utf8(box->text));
  if (!Done("the export ended with \"Done.\"", L"export_done")) return false;
  if (!AnswerMessageBox(*box, L"OK")) return Fail("\"Done.\" did not close");
  if (!app_->Close()) return Fail("the window did not close");
  return true;
}

bool Demo::ReportPdfs() {
  std::printf("PDFs:\n");
  bool all = true;
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    const std::wstring pdf = paths_[i].substr(0, paths_[i].rfind(L'.')) + L".pdf";
    int pages = 0;
    const bool accepted = testbed::PdfInfoAccepts(pdf, &pages);
    const std::wstring line = FirstLine(testbed::PdfText(pdf));
    std::printf("  %s  %d page%s  \"%s\"\n", HostPath(pdf).c_str(), pages, pages == 1 ? "" : "s",
                Utf8(line).c_str());
    if (!accepted || pages < 1) all = Fail("pdfinfo does not accept " + Utf8(pdf));
    if (line != kDocuments[i].firstLine) {
      all = Fail(Utf8(pdf) + " does not begin with \"" + Utf8(kDocuments[i].firstLine) + "\"");
    }
  }
  return all;
}

int Demo::Run() {
  const bool ok = Prepare() && AddTwoThroughTheOpenDialog() && AddTheFolder() && Export() && ReportPdfs();
  app_.reset();
  testbed::KillStandIns();
  if (!ok) return 1;
  std::printf("demo: %zu documents exported\n", paths_.size());
  return 0;
}

}  // namespace

int main() { return Demo().Run(); }
