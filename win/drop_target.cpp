#include "win/drop_target.h"

#include <shellapi.h>

#include <vector>

#include "win/modal_scope.h"

namespace zintrel {

std::optional<std::wstring> DroppedStateFile(IDataObject* data) {
  if (data == nullptr) return std::nullopt;
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&format, &medium))) return std::nullopt;
  std::optional<std::wstring> file;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr) {
    if (auto* drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
      if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        std::vector<wchar_t> path(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
        if (DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())) > 0) file.emplace(path.data());
      }
      GlobalUnlock(medium.hGlobal);
    }
  }
  ReleaseStgMedium(&medium);
  return file;
}

DWORD DropEffect(bool takesFile, DWORD allowed) {
  if (!takesFile) return DROPEFFECT_NONE;
  if ((allowed & DROPEFFECT_COPY) != 0) return DROPEFFECT_COPY;
  if ((allowed & DROPEFFECT_LINK) != 0) return DROPEFFECT_LINK;
  return DROPEFFECT_NONE;
}

HRESULT StateDropTarget::QueryInterface(REFIID id, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// Only the user-interface thread registers and calls the target.
ULONG StateDropTarget::AddRef() { return ++references_; }

ULONG StateDropTarget::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT StateDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  takesFile_ = DroppedStateFile(data).has_value();
  *effect = DropEffect(takesFile_ && !ModalScope::Open(), *effect);
  return S_OK;
}

HRESULT StateDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  // A box may have opened since the drag entered.
  *effect = DropEffect(takesFile_ && !ModalScope::Open(), *effect);
  return S_OK;
}

HRESULT StateDropTarget::DragLeave() {
  takesFile_ = false;
  return S_OK;
}

HRESULT StateDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  takesFile_ = false;
  const std::optional<std::wstring> file = DroppedStateFile(data);
  *effect = DropEffect(file.has_value() && !ModalScope::Open(), *effect);
  if (*effect != DROPEFFECT_NONE) open_(*file);
  return S_OK;
}

}  // namespace zintrel
