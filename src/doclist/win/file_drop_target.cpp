#include "doclist/win/file_drop_target.h"

#include <shellapi.h>

#include "doclist/add_files.h"

namespace tavrolin::win {
namespace {

FORMATETC FileDropFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

}  // namespace

bool OffersFileDrop(IDataObject* data) {
  if (!data) return false;
  FORMATETC format = FileDropFormat();
  return data->QueryGetData(&format) == S_OK;
}

std::vector<std::wstring> DroppedPaths(IDataObject* data) {
  std::vector<std::wstring> paths;
  if (!data) return paths;
  FORMATETC format = FileDropFormat();
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&format, &medium))) return paths;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
    const auto drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) {
      const UINT length = DragQueryFileW(drop, i, nullptr, 0);
      std::wstring path(length + 1, L'\0');
      path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
      paths.push_back(std::move(path));
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
