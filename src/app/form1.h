#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "app/control_ids.h"
#include "common/message_boxes.h"
#include "doclist/document_list.h"
#include "common/win/window.h"
#include "common/window_pointer.h"

namespace tavrolin {

inline constexpr wchar_t kHelpText[] = L"Anti-virus programs can interfere when exporting to PDF.";

class Form1;
class DocListFeature;
class ExportFeature;
class AddFolderFeature;

// The program's only window. Event procedures keep the names of the controls and their events;
// each feature's procedures live in the file of that feature (form1_*.cpp).
class Form1 final : public WindowPointer, public MessageBoxes {
 public:
  // Creates the window and runs Form_Load; the window is not shown yet.
  static std::unique_ptr<Form1> Create(HINSTANCE instance);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  void Show(int showCommand);
  // Called once OLE is up on the UI thread, after the window is shown (form1_doclist.cpp).
  void OleReady();
  HWND hwnd() const { return hwnd_; }

  // WindowPointer: the window-wide `MousePointer`.
  int MousePointer() const override { return mousePointer_; }
  void SetMousePointer(int value) override;
  BusyMark& Busy() { return busy_; }

  // MessageBoxes: boxes captioned with the program's title.
  void Notify(const std::wstring& text) override;
  Answer AskYesNo(const std::wstring& text) override;

  // The list's own pointer (shown while the window's pointer is the default): 0 as the control
  // has it by default, 1 the arrow, 99 `listMouseIcon`.
  void SetListPointer(int value, HCURSOR icon);

  // The document list, owned by the list's feature (form1_doclist.cpp).
  DocumentList& Documents();

  void SetProgressValue(float value);

  HWND Command1 = nullptr;
  HWND Check1 = nullptr;
  HWND Check2 = nullptr;
  HWND ListView1 = nullptr;
  HWND Check4 = nullptr;
  HWND ProgressBar1 = nullptr;
  HWND Check3 = nullptr;

 private:
  Form1() = default;
  static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnSetCursor(HWND over, UINT hitTest);
  void ShowCurrentPointer();
  void CreateControls();
  HWND CreateCheck(int id, const wchar_t* caption);
  int Px(int twips) const;

  // Per-monitor DPI: fonts, icons, control rectangles and the list's column from the twips.
  void ApplyDpi(int dpi);
  void LayOutControls();
  void LoadDpiResources();
  void OnDpiChanged(int dpi, const RECT& suggested);
  bool OnGetDpiScaledSize(int dpi, SIZE& size) const;

  // The four buttons are painted here: push-like buttons ignore WM_CTLCOLORBTN, so neither
  // look would show them white.
  void PaintCheck(HWND button, HDC target);
  bool OnCheckMessage(HWND button, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // White faces and bar background, or the system's colours under high contrast.
  void ApplyColours();
  HICON CheckIcon(HWND button) const;

  // The focus is kept while the window is inactive and given back on activation, as dialog
  // boxes do, so the keyboard goes on where it was after a message box or another program.
  void RememberFocus();
  void RestoreFocus();

  // The button pattern: true (and the value back at 0) when the press should run its action.
  static bool TakePress(HWND button);

  // Event procedures of the window.
  void Form_Load();
  void Form_Unload();
  void Form_MouseMove();
  void Check1_MouseMove();
  void Check2_MouseMove();
  void Check3_MouseMove();
  void Check4_MouseMove();
  void Check3_Click();
  // Defined with their features.
  void Check1_Click();
  void Check2_Click();
  void Check4_Click();
  bool OnListViewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  LRESULT OnListViewNotify(NMHDR* header);

  void VisitHomePageOccasionally();

  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  int mousePointer_ = kPointerDefault;
  win::UniqueCursor mouseIcon_;  // "HAND-M.CUR", when present
  int listMousePointer_ = 0;
  HCURSOR listMouseIcon_ = nullptr;
  BusyMark busy_{*this};
  win::UniqueFont buttonFont_;
  win::UniqueFont listFont_;
  HWND toolTip_ = nullptr;
  HWND listHeader_ = nullptr;
  HWND focusBeforeDeactivation_ = nullptr;
  bool highContrast_ = false;
  win::UniqueBrush backgroundBrush_;  // the window's background under high contrast
  // The buttons' pictures at the current DPI: Check1, Check2, Check4; "Help" shows none.
  win::UniqueIcon wordIcon_;
  win::UniqueIcon pdfIcon_;
  win::UniqueIcon folderIcon_;

  // Feature state, owned here for the window's whole life. Each feature's header (form1_*.h)
  // defines it; the destructor, out of line in form1.cpp, deletes it.
  std::unique_ptr<DocListFeature> docList_;
  std::unique_ptr<ExportFeature> export_;
  std::unique_ptr<AddFolderFeature> addFolder_;
};

}  // namespace tavrolin
