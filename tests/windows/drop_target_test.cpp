#include "win/drop_target.h"

#include "win/modal_scope.h"

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zintrel {
namespace {

// What a file manager hands over in a drag: a list of files in the shell's
// CF_HDROP layout (DROPFILES, then the paths, each ended by a zero, and one
// more zero), or only text when files is empty and withFiles false.
class DraggedData final : public IDataObject {
 public:
  explicit DraggedData(std::vector<std::wstring> files, bool withFiles = true)
      : files_(std::move(files)), withFiles_(withFiles) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the test's stack.
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format->cfFormat != CF_HDROP || !withFiles_) return DV_E_FORMATETC;
    std::wstring list;
    for (const std::wstring& file : files_) list += file + L'\0';
    list += L'\0';
    const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return format->cfFormat == CF_HDROP && withFiles_ ? S_OK : DV_E_FORMATETC;
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
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::vector<std::wstring> files_;
  bool withFiles_;
};

const std::wstring kState = L"C:\\Users\\ユーザー\\状態 1.zintrel";
const std::wstring kOther = L"C:\\Users\\ユーザー\\other.zintrel";

TEST(DroppedStateFileTest, TakesExactlyOneFile) {
  DraggedData one({kState});
  EXPECT_EQ(DroppedStateFile(&one), kState);

  struct {
    const char* what;
    DraggedData data;
  } refused[] = {
      {"two files", DraggedData({kState, kOther})},
      {"the same file twice", DraggedData({kState, kState})},
      {"an empty list", DraggedData({})},
      {"text, no files", DraggedData({}, false)},
  };
  for (auto& [what, data] : refused) {
    EXPECT_FALSE(DroppedStateFile(&data).has_value()) << what;
  }
  EXPECT_FALSE(DroppedStateFile(nullptr).has_value());
}

// A move would let the source delete the file after the drop.
TEST(DropEffectTest, CopiesOrLinksAndNeverMoves) {
  EXPECT_EQ(DropEffect(true, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK), DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(DropEffect(true, DROPEFFECT_MOVE | DROPEFFECT_LINK), DWORD{DROPEFFECT_LINK});
  EXPECT_EQ(DropEffect(true, DROPEFFECT_MOVE), DWORD{DROPEFFECT_NONE});
  EXPECT_EQ(DropEffect(false, DROPEFFECT_COPY | DROPEFFECT_LINK), DWORD{DROPEFFECT_NONE});
}

// The drag as OLE drives the target: entering, moving over, letting go.
class StateDropTargetTest : public testing::Test {
 protected:
  StateDropTargetTest() : target_(new StateDropTarget([this](const std::wstring& path) { opened_.push_back(path); })) {}
  ~StateDropTargetTest() override { target_->Release(); }

  // Drags data in and over the window; returns the effects the two answered.
  std::pair<DWORD, DWORD> DragIn(DraggedData& data, DWORD allowed) {
    DWORD entered = allowed;
    EXPECT_EQ(target_->DragEnter(&data, MK_LBUTTON, {10, 10}, &entered), S_OK);
    DWORD over = allowed;
    EXPECT_EQ(target_->DragOver(MK_LBUTTON, {12, 11}, &over), S_OK);
    return {entered, over};
  }

  StateDropTarget* target_;
  std::vector<std::wstring> opened_;
};

TEST_F(StateDropTargetTest, OneFileIsTakenAndOpened) {
  DraggedData one({kState});
  const auto [entered, over] = DragIn(one, DROPEFFECT_COPY | DROPEFFECT_MOVE);
  EXPECT_EQ(entered, DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(over, DWORD{DROPEFFECT_COPY});
  DWORD dropped = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(target_->Drop(&one, 0, {12, 11}, &dropped), S_OK);
  EXPECT_EQ(dropped, DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(opened_, std::vector<std::wstring>{kState});
}

TEST_F(StateDropTargetTest, SeveralFilesAreRefusedOnEnteringAndNeverOpened) {
  DraggedData two({kState, kOther});
  const auto [entered, over] = DragIn(two, DROPEFFECT_COPY | DROPEFFECT_LINK);
  EXPECT_EQ(entered, DWORD{DROPEFFECT_NONE});
  EXPECT_EQ(over, DWORD{DROPEFFECT_NONE});
  // Some sources let go all the same; nothing opens then either.
  DWORD dropped = DROPEFFECT_COPY;
  EXPECT_EQ(target_->Drop(&two, 0, {12, 11}, &dropped), S_OK);
  EXPECT_EQ(dropped, DWORD{DROPEFFECT_NONE});
  EXPECT_TRUE(opened_.empty());
}

// Moving over the window answers for the drag that entered last, not for
// one that left before.
TEST_F(StateDropTargetTest, EachDragIsAnsweredForItsOwnData) {
  DraggedData one({kState});
  DraggedData two({kState, kOther});
  EXPECT_EQ(DragIn(one, DROPEFFECT_COPY).second, DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(target_->DragLeave(), S_OK);
  DWORD over = DROPEFFECT_COPY;
  EXPECT_EQ(target_->DragOver(0, {1, 1}, &over), S_OK);
  EXPECT_EQ(over, DWORD{DROPEFFECT_NONE});
  EXPECT_EQ(DragIn(two, DROPEFFECT_COPY).second, DWORD{DROPEFFECT_NONE});
  EXPECT_EQ(DragIn(one, DROPEFFECT_COPY).second, DWORD{DROPEFFECT_COPY});
  EXPECT_TRUE(opened_.empty());
}

TEST_F(StateDropTargetTest, CountsItsReferencesAsCom) {
  IDropTarget* asked = nullptr;
  ASSERT_EQ(target_->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&asked)), S_OK);
  EXPECT_EQ(asked, static_cast<IDropTarget*>(target_));
  EXPECT_EQ(asked->Release(), 1u);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(target_->QueryInterface(IID_IDataObject, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
}

// Behind a dialog or box of the program no file is taken, as no click is;
// one that opens while the drag is over the window turns it down from then.
TEST_F(StateDropTargetTest, NoFileIsTakenWhileADialogIsOpen) {
  DraggedData one({kState});
  {
    const ModalScope dialog(nullptr);
    const auto [entered, over] = DragIn(one, DROPEFFECT_COPY);
    EXPECT_EQ(entered, DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(over, DWORD{DROPEFFECT_NONE});
    DWORD dropped = DROPEFFECT_COPY;
    EXPECT_EQ(target_->Drop(&one, 0, {12, 11}, &dropped), S_OK);
    EXPECT_EQ(dropped, DWORD{DROPEFFECT_NONE});
  }
  EXPECT_EQ(DragIn(one, DROPEFFECT_COPY).second, DWORD{DROPEFFECT_COPY});
  {
    const ModalScope box(nullptr);
    DWORD over = DROPEFFECT_COPY;
    EXPECT_EQ(target_->DragOver(0, {13, 12}, &over), S_OK);
    EXPECT_EQ(over, DWORD{DROPEFFECT_NONE});
  }
  EXPECT_TRUE(opened_.empty());
}

}  // namespace
}  // namespace zintrel
