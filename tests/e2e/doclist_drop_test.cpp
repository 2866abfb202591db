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
#include "shared/data_object.h"
#include "driver/driver.h"

using namespace e2e;

namespace {

using Paths = std::vector<std::wstring>;

using test_data::FileDropData;
using test_data::TextData;

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
