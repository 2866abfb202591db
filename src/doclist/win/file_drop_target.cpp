#include "doclist/win/file_drop_target.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "doclist/add_files.h"

namespace tavrolin::win {

static_assert(kDropEffectNone == DROPEFFECT_NONE && kDropEffectCopy == DROPEFFECT_COPY &&
              kDropEffectMove == DROPEFFECT_MOVE && kDropEffectLink == DROPEFFECT_LINK);
namespace {

FORMATETC FileDropFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

}  // namespace

bool OffersFileDrop(IDataObject* data) {
  if (!data) return false;
  FORMATETC format = FileDropFormat();
  return data->QueryGetData(&format) == S_OK;
}

std::vector<std::wstring> ParseDropFiles(const void* block, std::size_t size) {
  std::vector<std::wstring> paths;
  if (!block || size < sizeof(DROPFILES)) return paths;
  const auto* header = static_cast<const DROPFILES*>(block);
  if (header->pFiles < sizeof(DROPFILES) || header->pFiles >= size) return paths;
  const char* const begin = static_cast<const char*>(block) + header->pFiles;
  const char* const end = static_cast<const char*>(block) + size;
  if (header->fWide) {
    // Name after name, each ended by a NUL, the list by an empty name; a block cut short ends
    // the list where it ends.
    const auto* p = reinterpret_cast<const wchar_t*>(begin);
    const auto* last = p + (end - begin) / static_cast<std::ptrdiff_t>(sizeof(wchar_t));
    while (p < last && *p) {
      const wchar_t* nameEnd = std::find(p, last, L'\0');
      paths.emplace_back(p, nameEnd);
      p = nameEnd + 1;
    }
    return paths;
  }
  const char* p = begin;
  while (p < end && *p) {
    const char* nameEnd = std::find(p, end, '\0');
    const int length = static_cast<int>(nameEnd - p);
    std::wstring path(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, p, length, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, p, length, path.data(), static_cast<int>(path.size()));
    paths.push_back(std::move(path));
    p = nameEnd + 1;
  }
  return paths;
}

std::vector<std::wstring> DroppedPaths(IDataObject* data) {
  std::vector<std::wstring> paths;
  if (!data) return paths;
  FORMATETC format = FileDropFormat();
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&format, &medium))) return paths;
  // One pass over the block: asking DragQueryFileW for each index walks the list from its start
  // every time, which grows with the square of the number of files.
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
    if (const void* block = GlobalLock(medium.hGlobal)) {
      paths = ParseDropFiles(block, GlobalSize(medium.hGlobal));
      GlobalUnlock(medium.hGlobal);
    }
  }
  ReleaseStgMedium(&medium);
  return paths;
}

void FileDropTarget::Detach() {
  dragOver_ = nullptr;
  drop_ = nullptr;
}

HRESULT FileDropTarget::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDropTarget) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG FileDropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG FileDropTarget::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

void FileDropTarget::Decide(DWORD* effect) {
  if (!effect) return;
  if (dragOver_) {
    dragOver_(offersFileDrop_, *effect);
  } else {
    *effect = DROPEFFECT_NONE;
  }
}

HRESULT FileDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  offersFileDrop_ = OffersFileDrop(data);
  Decide(effect);
  return S_OK;
}

HRESULT FileDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  Decide(effect);
  return S_OK;
}

HRESULT FileDropTarget::DragLeave() {
  offersFileDrop_ = false;
  return S_OK;
}

HRESULT FileDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  offersFileDrop_ = false;
  const bool offers = OffersFileDrop(data);
  const DWORD done = DropDoneEffect(offers, effect ? *effect : DROPEFFECT_COPY);
  // The paths are copied out before the source gets its data back.
  if (offers && drop_) drop_(DroppedPaths(data));
  if (effect) *effect = done;
  return S_OK;
}

HRESULT DropRegistration::Register(HWND window, IDropTarget* target) {
  Revoke();
  const HRESULT hr = RegisterDragDrop(window, target);
  if (SUCCEEDED(hr)) window_ = window;
  return hr;
}

void DropRegistration::Revoke() {
  if (!window_) return;
  RevokeDragDrop(window_);
  window_ = nullptr;
}

}  // namespace tavrolin::win
