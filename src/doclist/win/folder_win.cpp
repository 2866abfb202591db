#include "doclist/win/folder_win.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "common/long_path.h"
#include "common/message_boxes.h"
#include "common/win/pump.h"

namespace tavrolin::win {

static_assert(kAttributeReadOnly == FILE_ATTRIBUTE_READONLY && kAttributeHidden == FILE_ATTRIBUTE_HIDDEN &&
              kAttributeSystem == FILE_ATTRIBUTE_SYSTEM && kAttributeFolder == FILE_ATTRIBUTE_DIRECTORY &&
              kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(kReparseTagMountPoint == IO_REPARSE_TAG_MOUNT_POINT && kReparseTagSymlink == IO_REPARSE_TAG_SYMLINK);
namespace {

class FindListing final : public DirectoryListing {
 public:
  FindListing(HANDLE find, const WIN32_FIND_DATAW& first) : find_(find), data_(first) {}
  ~FindListing() override { FindClose(find_); }
  FindListing(const FindListing&) = delete;
  FindListing& operator=(const FindListing&) = delete;

  bool Next(DirectoryEntry& entry) override {
    if (!haveData_) {
      // Any failure ends this folder's listing; the scan goes on with the next one.
      if (!FindNextFileW(find_, &data_)) return false;
    }
    haveData_ = false;
    entry.name = data_.cFileName;
    entry.attributes = data_.dwFileAttributes;
    entry.reparseTag = (data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data_.dwReserved0 : 0;
    return true;
  }

 private:
  HANDLE find_;
  WIN32_FIND_DATAW data_;
  bool haveData_ = true;
};

struct CoTaskMemDeleter {
  void operator()(void* memory) const { CoTaskMemFree(memory); }
};

// An in-memory dialog template: DLGTEMPLATE and its items, each DWORD-aligned.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy, const wchar_t* caption, WORD points,
                 const wchar_t* font) {
    Dword(style | DS_SETFONT);
    Dword(0);
    words_.push_back(0);  // item count, set by Item()
    Shorts({0, 0, cx, cy});
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    String(caption);
    words_.push_back(points);
    String(font);
  }

  // `classAtom`: 0x80 button, 0x81 edit, 0x82 static.
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom,
            const wchar_t* text) {
    if (words_.size() % 2) words_.push_back(0);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Shorts({x, y, cx, cy});
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(classAtom);
    String(text);
    words_.push_back(0);  // no creation data
    ++words_[4];
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void Shorts(std::initializer_list<short> values) {
    for (short v : values) words_.push_back(static_cast<WORD>(v));
  }
  void String(const wchar_t* text) {
    for (; *text; ++text) words_.push_back(static_cast<WORD>(*text));
    words_.push_back(0);
  }
  std::vector<WORD> words_;
};

struct InputBoxState {
  const std::wstring& prompt;
  const std::wstring& defaultText;
  std::wstring result;
};

std::wstring ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(),
                                                      static_cast<int>(text.size()))));
  return text;
}

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<InputBoxState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetDlgItemTextW(dialog, kInputBoxPromptId, state->prompt.c_str());
      HWND edit = GetDlgItem(dialog, kInputBoxEditId);
      SetWindowTextW(edit, state->defaultText.c_str());
      SetFocus(edit);
      SendMessageW(edit, EM_SETSEL, 0, -1);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        state->result = ControlText(dialog, kInputBoxEditId);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::wstring ListablePath(const std::wstring& path) { return LongPathForm(path); }

std::unique_ptr<DirectoryListing> Win32DirectoryLister::List(const std::wstring& folder,
                                                             const std::wstring& pattern) {
  const std::wstring query = ListablePath(folder + pattern);
  WIN32_FIND_DATAW data;
  // The plain form: measured under Wine, the basic-information and large-fetch variants were
  // slower, and a large fetch makes one call (a stretch without pumping) longer.
  HANDLE find = FindFirstFileExW(query.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch,
                                 nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<FindListing>(find, data);
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& prompt) {
  // Only written by the picker; a buffer is safer than trusting every shell to check for none.
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = prompt.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter> chosen;
  {
    OwnBox box;
    chosen.reset(SHBrowseForFolderW(&info));
  }
  if (!chosen) return {};
  return FolderPathOf(chosen.get());
}

std::wstring FolderPathOf(PCIDLIST_ABSOLUTE item) {
  // Not SHGetPathFromIDListW: its buffer of MAX_PATH would turn a deep folder into a Cancel.
  PWSTR path = nullptr;
  if (FAILED(SHGetNameFromIDList(item, SIGDN_FILESYSPATH, &path)) || !path) return {};
  std::wstring result(path);
  CoTaskMemFree(path);
  return result;
}

std::wstring InputBox(HWND owner, const std::wstring& prompt, const std::wstring& defaultText) {
  DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 250, 86,
                        kAppTitle, 8, L"MS Shell Dlg");
  dialog.Item(SS_LEFT | SS_NOPREFIX, 7, 7, 180, 48, kInputBoxPromptId, 0x82, L"");
  dialog.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 193, 7, 50, 14, IDOK, 0x80, L"OK");
  dialog.Item(BS_PUSHBUTTON | WS_TABSTOP, 193, 25, 50, 14, IDCANCEL, 0x80, L"Cancel");
  dialog.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 64, 236, 13, kInputBoxEditId, 0x81, L"");
  InputBoxState state{prompt, defaultText, {}};
  OwnBox box;
  const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), owner,
                                                 InputBoxProc, reinterpret_cast<LPARAM>(&state));
  return answer == IDOK ? state.result : std::wstring();
}

}  // namespace tavrolin::win
