#pragma once
// The list as an OLE drop target for the shell's file-drop list (CF_HDROP).
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace tavrolin::win {

// True when the data offers a file-drop list.
bool OffersFileDrop(IDataObject* data);
// The paths of the data's file-drop list in its order; empty without one.
std::vector<std::wstring> DroppedPaths(IDataObject* data);
// The paths of a DROPFILES block of `size` bytes (wide or ANSI names), in one pass.
std::vector<std::wstring> ParseDropFiles(const void* block, std::size_t size);

// Adapts IDropTarget to two procedures: one that decides the effect while data is dragged over
// the target, one that receives the dropped paths (copied before Drop returns).
class FileDropTarget final : public IDropTarget {
 public:
  using DragOverProc = std::function<void(bool offersFileDrop, DWORD& effect)>;
  using DropProc = std::function<void(std::vector<std::wstring> paths)>;

  // Starts with one reference, owned by the caller.
  FileDropTarget(DragOverProc dragOver, DropProc drop)
      : dragOver_(std::move(dragOver)), drop_(std::move(drop)) {}
  FileDropTarget(const FileDropTarget&) = delete;
  FileDropTarget& operator=(const FileDropTarget&) = delete;

  // Cuts the target off from its procedures: OLE may hold a reference longer than their owner.
  void Detach();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL at,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL at, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL at,
                                 DWORD* effect) override;

 private:
  ~FileDropTarget() = default;
  void Decide(DWORD* effect);

  LONG references_ = 1;
  bool offersFileDrop_ = false;  // of the data being dragged now
  DragOverProc dragOver_;
  DropProc drop_;
};

// Registers a window as a drop target and revokes it at destruction (or earlier, on Revoke,
// which belongs in the window's WM_DESTROY while the handle is still valid).
class DropRegistration {
 public:
  DropRegistration() = default;
  ~DropRegistration() { Revoke(); }
  DropRegistration(const DropRegistration&) = delete;
  DropRegistration& operator=(const DropRegistration&) = delete;

  HRESULT Register(HWND window, IDropTarget* target);
  void Revoke();

 private:
  HWND window_ = nullptr;
};

}  // namespace tavrolin::win
