#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "common/message_boxes.h"
#include "common/win/window.h"
#include "doclist/document_list.h"

namespace tavrolin {

inline constexpr wchar_t kHelpText[] = L"Anti-virus programs can interfere when exporting to PDF.";

class FaceButton;
class FormPointers;
class DocListFeature;
class ExportFeature;
class AddFolderFeature;
class UnattendedRun;

// The program's only window: its controls, their layout at every DPI, colours and focus. Each
// feature (form1_*.h) owns the handlers and state of its controls; the window hands them over.
class Form1 final : public MessageBoxes {
 public:
  // Creates the window and runs Form_Load; the window is not shown yet.
  static std::unique_ptr<Form1> Create(HINSTANCE instance);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Shows the window; what its first paint does not need follows from the message loop.
  void Show(int showCommand);
  // Called once OLE is up on the UI thread, after the window is shown.
  void OleReady();
  HWND hwnd() const { return hwnd_; }

  // The start from the command line: the unattended run and the paths a later start hands over.
  UnattendedRun& Unattended() { return *unattended_; }

  // MessageBoxes: boxes captioned with the program's title.
  void Notify(const std::wstring& text) override;
  Answer AskYesNo(const std::wstring& text) override;

 private:
  Form1() = default;
  static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnLookMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void OnCreate();
  void CreateControls();
  FaceButton& Face(int id) const;
  int Px(int twips) const;

  // Per-monitor DPI: fonts, pictures, control rectangles and the list's column from the twips.
  void ApplyDpi(int dpi);
  void LayOutControls();
  void LoadDpiResources();
  void OnDpiChanged(int dpi, const RECT& suggested);
  // White faces and bar background, or the system's colours under high contrast.
  void ApplyColours();

  // Event procedures of the window.
  void Form_Load();
  void AfterShow();
  void Form_Unload();
  void Form_MouseMove();
  void Check_MouseMove();
  void Check3_Click();

  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  bool highContrast_ = false;
  win::UniqueFont buttonFont_;
  win::UniqueFont listFont_;
  HWND command1_ = nullptr;
  HWND listView1_ = nullptr;
  HWND progressBar1_ = nullptr;
  std::vector<std::unique_ptr<FaceButton>> faces_;
  HWND toolTip_ = nullptr;
  win::KeptFocus focus_;  // given back on activation
  std::unique_ptr<FormPointers> pointers_;

  // The documents to export, shared by the features; declared before them, so it outlives them.
  DocumentList documents_;
  std::unique_ptr<DocListFeature> docList_;
  std::unique_ptr<ExportFeature> export_;
  std::unique_ptr<AddFolderFeature> addFolder_;
  std::unique_ptr<UnattendedRun> unattended_;
};

}  // namespace tavrolin
