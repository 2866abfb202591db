// Dropping onto the real program's list through OLE drag and drop, from this process: a
// file-drop list lands at the end in order wherever it is dropped; text is refused.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "driver/doclist_driver.h"
#include "driver/driver.h"

using namespace e2e;

namespace {

using Paths = std::vector<std::wstring>;

// A data object offering one format in an HGLOBAL.
class MemoryDataObject final : public IDataObject {
 public:
  MemoryDataObject(CLIPFORMAT format, std::string bytes) : format_(format), bytes_(std::move(bytes)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDataObject) {
      *out = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
    std::memcpy(GlobalLock(memory), bytes_.data(), bytes_.size());
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return format->cfFormat == format_ && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  ~MemoryDataObject() = default;
  LONG references_ = 1;
  CLIPFORMAT format_;
  std::string bytes_;
};

IDataObject* FileDropData(const Paths& paths) {
  std::wstring list;
  for (const auto& path : paths) list += path + L'\0';
  list += L'\0';
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof(header));
  bytes.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
  return new MemoryDataObject(CF_HDROP, bytes);
}

IDataObject* TextData(const std::wstring& text) {
  const std::wstring withEnd = text + L'\0';
  return new MemoryDataObject(CF_UNICODETEXT,
                              std::string(reinterpret_cast<const char*>(withEnd.data()),
                                          withEnd.size() * sizeof(wchar_t)));
}

// The drag's source: it drops when the test says so and reports the effect the target chose.
class TestDropSource final : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDropSource) {
      *out = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape || cancel) return DRAGDROP_S_CANCEL;
    return release ? DRAGDROP_S_DROP : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
    lastEffect = effect;
    ++feedbacks;
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }

  std::atomic<bool> release{false};
  std::atomic<bool> cancel{false};
  std::atomic<DWORD> lastEffect{0xFFFF};
  std::atomic<int> feedbacks{0};
};

// Drags `data` from where the pointer is onto `point` and lets go there. The helper thread moves
// the pointer while this thread runs the drag loop. Returns the final effect.
struct DragResult {
  HRESULT hr = E_FAIL;
  DWORD effect = 0xFFFF;
  DWORD effectOverTarget = 0xFFFF;
};
DragResult DragOnto(IDataObject* data, POINT point) {
  TestDropSource source;
  DragResult result;
  std::thread mover([&] {
    // Each move gives the drag loop a new place; a few feedbacks later it has asked the target.
    const auto settle = [&] {
      const int seen = source.feedbacks;
      const ULONGLONG deadline = GetTickCount64() + 10000;
      while (source.feedbacks < seen + 3 && GetTickCount64() < deadline) Sleep(10);
    };
    MoveMouseTo(point.x, point.y - 3);
    settle();
    MoveMouseTo(point.x, point.y);
    settle();
    result.effectOverTarget = source.lastEffect;
    source.release = true;
  });
  DWORD effect = 0;
  result.hr = DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
  result.effect = effect;
  source.cancel = true;  // the mover never waits past the drag's end
  mover.join();
  return result;
}

class DropE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OleInitialize(nullptr); }
  static void TearDownTestSuite() { OleUninitialize(); }

  App app;
};

TEST_F(DropE2e, DroppedFilesGoToTheEndInOrderWhereverTheyLand) {
  ASSERT_TRUE(app.Started());
  HWND list = app.Control(tavrolin::kIdListView1);
  const RECT client = ClientRectOnScreen(list);
  // Start the drag away from the window, over the bare screen.
  MoveMouseTo(5, 5);

  const Paths first = {L"C:\\Drop\\one.doc", L"C:\\Drop\\Folder", L"C:\\Drop\\three.docx"};
  IDataObject* data = FileDropData(first);
  const DragResult onEmptyList = DragOnto(data, {client.left + 60, client.bottom - 10});
  data->Release();
  EXPECT_EQ(onEmptyList.hr, DRAGDROP_S_DROP);
  EXPECT_EQ(onEmptyList.effectOverTarget, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK))
      << "the source's proposal stays";
  EXPECT_EQ(onEmptyList.effect, static_cast<DWORD>(DROPEFFECT_COPY)) << "never a move";
  ASSERT_TRUE(WaitForListTexts(list, first));

  // Onto the first row: still appended at the end.
  MoveMouseTo(5, 5);
  const Paths second = {L"C:\\Drop\\four.doc", L"C:\\Drop\\one.doc", L"C:\\Drop\\six.doc"};
  data = FileDropData(second);
  const POINT firstRow = ListViewRowPoint(list, 0);
  const DragResult onRow = DragOnto(data, firstRow);
  data->Release();
  EXPECT_EQ(onRow.hr, DRAGDROP_S_DROP);
  Paths all = first;
  all.insert(all.end(), second.begin(), second.end());
  EXPECT_TRUE(WaitForListTexts(list, all));
  SaveScreenshot(app.Window(), ScreenshotDir() + L"\\doclist_dropped.bmp");
}

TEST_F(DropE2e, TextIsRefusedAndFilesStillLandAfterAnItemClick) {
  ASSERT_TRUE(app.Started());
  HWND list = app.Control(tavrolin::kIdListView1);
  const RECT client = ClientRectOnScreen(list);
  const POINT target{client.left + 60, client.top + 40};
  MoveMouseTo(5, 5);
  IDataObject* data = TextData(L"C:\\Drop\\not-a-file-list.doc");
  const DragResult refused = DragOnto(data, target);
  data->Release();
  EXPECT_EQ(refused.effectOverTarget, static_cast<DWORD>(DROPEFFECT_NONE)) << "the no-drop pointer";
  EXPECT_EQ(refused.effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_FALSE(WaitFor([&] { return !ListViewTexts(list).empty(); }, 1)) << "nothing added";

  // The same place takes files, also after an item click of the reorder gesture.
  MoveMouseTo(5, 5);
  data = FileDropData({L"C:\\Drop\\a.doc"});
  EXPECT_EQ(DragOnto(data, target).effect, static_cast<DWORD>(DROPEFFECT_COPY));
  data->Release();
  ASSERT_TRUE(WaitForListTexts(list, {L"C:\\Drop\\a.doc"}));
  const POINT row = ListViewRowPoint(list, 0);
  MoveMouseTo(row.x, row.y);
  Click();
  ASSERT_TRUE(WaitFor([&] { return ListViewSelection(list) == 0; }, 5));
  MoveMouseTo(5, 5);
  data = FileDropData({L"C:\\Drop\\b.doc"});
  EXPECT_EQ(DragOnto(data, target).effect, static_cast<DWORD>(DROPEFFECT_COPY));
  data->Release();
  EXPECT_TRUE(WaitForListTexts(list, {L"C:\\Drop\\a.doc", L"C:\\Drop\\b.doc"}));
}

}  // namespace
