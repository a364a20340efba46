#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <optional>
#include <string>

namespace zintrel {

// Returns the one file the dragged data holds, or nothing when it holds no
// file list, an empty one or several files: a state is opened one at a time,
// and picking one of several would be a guess.
std::optional<std::wstring> DroppedStateFile(IDataObject* data);

// Returns the effect a drag offering allowed gets when it carries a file the
// program takes (or none when it does not): a copy where the source allows
// one, else a link, and never a move, which would let the source delete the
// file the program only reads.
DWORD DropEffect(bool takesFile, DWORD allowed);

// The drop target of the program's windows, registered with OLE so that the
// cursor tells already on entering whether the drop will be taken: exactly
// one file is, anything else is refused before it is let go, and so is any
// file while a dialog or box of the program is open. A file let go
// goes to open, which must not show a box while the drag's source waits for
// the drop to return.
class StateDropTarget final : public IDropTarget {
 public:
  using Opener = std::function<void(const std::wstring& path)>;

  // Starts with one reference, its creator's.
  explicit StateDropTarget(Opener open) : open_(std::move(open)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL where, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL where, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL where, DWORD* effect) override;

 private:
  ~StateDropTarget() = default;

  Opener open_;
  ULONG references_ = 1;
  // Whether the drag over the window now carries one file; DragOver is
  // told nothing of the data and answers as DragEnter did.
  bool takesFile_ = false;
};

}  // namespace zintrel
