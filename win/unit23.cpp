#include "win/unit23.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

#include "settings/catalog.h"
#include "settings/display_texts.h"
#include "settings/panel_layout.h"
#include "settings/settings_panel.h"
#include "win/clipboard.h"
#include "win/drop_target.h"
#include "win/error_box.h"
#include "win/file_output.h"
#include "win/gallery_window.h"
#include "win/link_dialog.h"
#include "win/modal_scope.h"
#include "win/state_input.h"
#include "win/unit21.h"
#include "win/wide_text.h"
#include "win/window_proc.h"

namespace zintrel {
namespace {

constexpr wchar_t kClassName[] = L"TForm2";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kExStyle = 0;

enum Command { kSaveState = 1, kOpenState, kSavePicture, kCopyPicture, kRecord, kFullScreen, kCopyLink, kOpenLink,
               kGallery };

// Record… or, while a recording runs, Stop recording, on the same key.
std::wstring RecordItemText(bool recording) {
  return Widen(recording ? Tr(kStopRecordingText) : Tr("Record…")) + L"\tCtrl+R";
}

HMENU BuildMenu() {
  HMENU menu = CreatePopupMenu();
  // The shortcuts' key names are Windows' own, the same in every language.
  AppendMenuW(menu, MF_STRING, kSaveState, (Widen(Tr("Save state…")) + L"\tCtrl+S").c_str());
  AppendMenuW(menu, MF_STRING, kOpenState, (Widen(Tr("Open state…")) + L"\tCtrl+O").c_str());
  AppendMenuW(menu, MF_STRING, kSavePicture, (Widen(Tr("Save picture…")) + L"\tCtrl+Shift+S").c_str());
  AppendMenuW(menu, MF_STRING, kCopyPicture, (Widen(Tr("Copy picture")) + L"\tCtrl+C").c_str());
  for (const auto& [command, item] : {std::pair{kCopyLink, kDesktopCopyLinkItem}, std::pair{kOpenLink, kOpenLinkItem},
                                     std::pair{kGallery, kGalleryItem}}) {
    AppendMenuW(menu, MF_STRING, command, (Widen(Tr(item.text)) + L"\t" + Widen(item.shortcut)).c_str());
  }
  AppendMenuW(menu, MF_STRING, kRecord, RecordItemText(false).c_str());
  AppendMenuW(menu, MF_STRING, kFullScreen, (Widen(Tr("Full screen")) + L"\tF11").c_str());
  return menu;
}

HACCEL BuildShortcuts() {
  ACCEL keys[] = {
      {FVIRTKEY | FCONTROL, 'S', kSaveState},
      {FVIRTKEY | FCONTROL, 'O', kOpenState},
      {FVIRTKEY | FCONTROL | FSHIFT, 'S', kSavePicture},
      {FVIRTKEY | FCONTROL, 'C', kCopyPicture},
      {FVIRTKEY | FCONTROL | FSHIFT, 'C', kCopyLink},
      {FVIRTKEY | FCONTROL, 'L', kOpenLink},
      {FVIRTKEY | FCONTROL, 'G', kGallery},
      {FVIRTKEY | FCONTROL, 'R', kRecord},
      {FVIRTKEY, VK_F11, kFullScreen},
  };
  return CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));
}

std::wstring KnownFolder(const KNOWNFOLDERID& id) {
  wchar_t* path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) folder = path;
  CoTaskMemFree(path);
  return folder;
}

const char* SuffixOf(FileRequest request) {
  switch (request) {
    case FileRequest::kSavePicture: return "png";
    case FileRequest::kSaveRecording: return "gif";
    default: return kStateSuffix;
  }
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The outer size of a window with a client area of client pixels.
SIZE OuterSize(SIZE client, UINT dpi) {
  RECT frame{0, 0, client.cx, client.cy};
  AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace

int FrameZoomAt(UINT dpi) { return std::max(1, static_cast<int>((dpi + 48) / 96)); }

TForm2::TForm2(HINSTANCE instance, const FrameBitmap& bitmap, TForm1& form1) : bitmap_(bitmap), form1_(form1) {
  // Wherever no frame covers the window yet (after it grew, before the next
  // tick), the button-face colour shows.
  RegisterWindowClass<TForm2>(instance, kClassName);
  CreateWindowExW(kExStyle, kClassName, Widen(Tr("Zintrel")).c_str(), kStyle, 304, 249, 668, 467, nullptr, nullptr, instance, this);
  if (window_ == nullptr) throw std::runtime_error(Tr("The display window cannot be created"));
  const UINT dpi = GetDpiForWindow(window_);
  const SIZE outer = OuterSize({660 * Zoom(), 440 * Zoom()}, dpi);
  SetWindowPos(window_, nullptr, MulDiv(304, static_cast<int>(dpi), 96), MulDiv(249, static_cast<int>(dpi), 96),
               outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  menu_ = BuildMenu();
  shortcuts_ = BuildShortcuts();
  // A drop only notes the file: a box shown inside the drop would hold the
  // drag's source (a file manager, say) until it is closed.
  dropTarget_ = new StateDropTarget([this](const std::wstring& path) {
    RunGuarded(window_, [this, &path] {
      droppedFile_ = path;
      PostMessageW(window_, kOpenDroppedMessage, 0, 0);
    });
  });
  RegisterDragDrop(window_, dropTarget_);
}

TForm2::~TForm2() {
  gallery_.reset();
  if (window_ != nullptr) {
    RevokeDragDrop(window_);
    DestroyWindow(window_);
  }
  dropTarget_->Release();
  if (menu_ != nullptr) DestroyMenu(menu_);
  if (shortcuts_ != nullptr) DestroyAcceleratorTable(shortcuts_);
}

int TForm2::Zoom() const { return FrameZoomAt(window_ != nullptr ? GetDpiForWindow(window_) : 96); }

SIZE TForm2::FieldSize() const {
  // Minimising must rescale nothing: a minimised window's client rectangle
  // is empty, and its restore rectangle is not the size it had when it was
  // maximised, so the ticks measure the size it had before.
  if (IsIconic(window_)) return lastSize_;
  RECT client{};
  GetClientRect(window_, &client);
  const int zoom = Zoom();
  lastSize_ = {std::max(0L, client.right / zoom), std::max(0L, client.bottom / zoom)};
  return lastSize_;
}

SIZE TForm2::Room() const {
  const int zoom = Zoom();
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
  const SIZE frame = OuterSize({0, 0}, GetDpiForWindow(window_));
  const RECT& work = monitor.rcWork;
  return {((work.right - work.left) - frame.cx) / zoom, ((work.bottom - work.top) - frame.cy) / zoom};
}

SIZE TForm2::SetFieldSize(SIZE size) {
  // A minimised window is brought back first, as a hidden one is shown: its
  // restore rectangle is only a wish, which a window manager answers with
  // the size the window had before, so the field would be stretched to that
  // the moment it came back. A window that comes back maximised is then
  // restored as well.
  fullScreen_.Leave(window_);
  if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
  if (IsZoomed(window_)) ShowWindow(window_, SW_RESTORE);
  const int zoom = Zoom();
  const UINT dpi = GetDpiForWindow(window_);
  const SIZE room = Room();
  // No window is narrower or lower than the system's smallest; a field that
  // is gets that size, and is said to.
  const SIZE frame = OuterSize({0, 0}, dpi);
  const SIZE least{(GetSystemMetricsForDpi(SM_CXMINTRACK, dpi) - frame.cx + zoom - 1) / zoom,
                   (GetSystemMetricsForDpi(SM_CYMINTRACK, dpi) - frame.cy + zoom - 1) / zoom};
  const SIZE given{std::max({1L, least.cx, std::min(size.cx, room.cx)}),
                   std::max({1L, least.cy, std::min(size.cy, room.cy)})};
  const SIZE outer = OuterSize({given.cx * zoom, given.cy * zoom}, dpi);
  SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  return given;
}

void TForm2::ShowIfHidden() {
  if (IsWindowVisible(window_)) return;
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
}

void TForm2::CopyFrame() {
  if (!IsWindowVisible(window_) || IsIconic(window_)) return;
  InvalidateRect(window_, nullptr, FALSE);
  UpdateWindow(window_);
}

void TForm2::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  const int width = bitmap_.Width();
  const int height = bitmap_.Height();
  if (width > 0 && height > 0) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bitmap_.Stride();
    info.bmiHeader.biHeight = -height;  // Top-down, as the frame is stored.
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int zoom = Zoom();
    // Nearest-neighbour: whole factors give clean blocks of pixels.
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, width * zoom, height * zoom, 0, 0, width, height, bitmap_.Pixels(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
  }
  EndPaint(window_, &paint);
}

LRESULT TForm2::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CLOSE:
      // Only the settings window ends the program; the ticks go on. What
      // was recorded of the window is saved with it.
      if (form1_.Panel().Recording()) RunGuarded(window_, [this] { StopRecording(); });
      ShowWindow(window_, SW_HIDE);
      return 0;
    case WM_INITMENUPOPUP:
      UpdateRecordItem();
      return 0;
    case WM_CONTEXTMENU:
      OnContextMenu({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_KEYDOWN:
      // Esc leaves full screen, and only there does anything: a window with
      // no frame must be left without reaching for the menu.
      if (wParam == VK_ESCAPE && fullScreen_.Active()) {
        fullScreen_.Leave(window_);
        return 0;
      }
      return DefWindowProcW(window_, message, wParam, lParam);
    case kOpenDroppedMessage:
      OpenDroppedFile();
      return 0;
    case kGalleryClosedMessage:
      // Destroyed here, outside its own handlers, with what it held.
      if (gallery_ != nullptr && !IsWindowVisible(gallery_->Handle())) {
        galleryEntry_ = gallery_->Selected();
        gallery_.reset();
      }
      return 0;
    case WM_GETDPISCALEDSIZE: {
      // Windows would scale the window by the ratio of the two dpi, while
      // the frame is enlarged by whole factors: the field would change size
      // and the particles shrink or grow. The window takes the field at the
      // new monitor's factor instead.
      const UINT dpi = static_cast<UINT>(wParam);
      const SIZE field = FieldSize();
      const int zoom = FrameZoomAt(dpi);
      *reinterpret_cast<SIZE*>(lParam) = OuterSize({field.cx * zoom, field.cy * zoom}, dpi);
      return TRUE;
    }
    case WM_DPICHANGED: {
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY:
      window_ = nullptr;
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

void TForm2::OnContextMenu(POINT where) {
  if (where.x == -1 && where.y == -1) {
    // From the keyboard: at the middle of the client area.
    RECT client;
    GetClientRect(window_, &client);
    where = {client.right / 2, client.bottom / 2};
    ClientToScreen(window_, &where);
  }
  TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, where.x, where.y, 0, window_, nullptr);
}

void TForm2::OnCommand(int id) {
  RunGuarded(window_, [this, id] {
    switch (id) {
      case kSaveState:
        if (const std::wstring path = Ask(FileRequest::kSaveState); !path.empty()) SaveState(path);
        return;
      case kOpenState:
        if (const std::wstring path = Ask(FileRequest::kOpenState); !path.empty()) OpenState(path);
        return;
      case kSavePicture:
        if (const std::wstring path = Ask(FileRequest::kSavePicture); !path.empty()) SavePicture(path);
        return;
      case kCopyPicture:
        CopyPicture();
        return;
      case kCopyLink:
        CopyLink();
        return;
      case kOpenLink: {
        const std::wstring proposed = Widen(ReplayableLink(Narrow(ClipboardText(window_))));
        if (const std::wstring address = AskForLink(window_, proposed); !address.empty()) OpenLink(address);
        return;
      }
      case kGallery:
        ShowGallery();
        return;
      case kFullScreen:
        // The ticks measure the new client area and rescale the field, as
        // after any resize.
        fullScreen_.Toggle(window_);
        return;
      case kRecord:
        if (form1_.Panel().Recording()) {
          StopRecording();
        } else if (const std::wstring path = Ask(FileRequest::kSaveRecording); !path.empty()) {
          StartRecording(path);
        }
        return;
      default:
        return;
    }
  });
}

bool TForm2::TranslateShortcut(MSG& message) {
  return window_ != nullptr && (message.hwnd == window_ || IsChild(window_, message.hwnd)) &&
         TranslateAcceleratorW(window_, shortcuts_, &message) != 0;
}

std::wstring TForm2::Ask(FileRequest request) {
  const bool save = request != FileRequest::kOpenState;
  // Pictures and recordings start among the pictures, states among the
  // documents.
  const bool picture = request == FileRequest::kSavePicture || request == FileRequest::kSaveRecording;
  std::wstring& folder = picture ? pictureFolder_ : stateFolder_;
  if (folder.empty()) folder = KnownFolder(picture ? FOLDERID_Pictures : FOLDERID_Documents);
  std::vector<wchar_t> path(32768, L'\0');
  if (save) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    const std::wstring name = Widen(ProposedFileName(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                                     local.tm_hour, local.tm_min, local.tm_sec,
                                                     SuffixOf(request)));
    name.copy(path.data(), path.size() - 1);
  }
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  const FileDialogTexts texts = DialogTexts(request);
  const std::wstring title = Widen(texts.title);
  // Pairs of zero-terminated description and pattern, ended by an empty one.
  std::wstring filter;
  for (int i = 0; i < texts.filterCount; ++i) {
    filter += Widen(texts.filters[i][0]) + L'\0' + Widen(texts.filters[i][1]) + L'\0';
  }
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  const std::wstring suffix = Widen(SuffixOf(request));
  dialog.lpstrDefExt = suffix.c_str();
  dialog.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  bool chosen = false;
  {
    // The dialog disables only its owner; the settings window would still
    // take clicks, drops and closing behind it.
    const ModalScope behind(window_);
    chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  }
  if (!chosen) return {};
  std::wstring result(path.data());
  folder = FolderOf(result);
  return result;
}

bool TForm2::SaveState(const std::wstring& path) {
  const std::string problem = WriteWholeFile(path, form1_.Panel().SavedStateText());
  if (problem.empty()) return true;
  Errors().Report(window_, SaveStateFailedText(Narrow(path), problem));
  return false;
}

bool TForm2::OpenState(const std::wstring& path) {
  // The frame is never drawn larger than the window can be: a file may ask
  // for 16384 x 16384, a gigabyte of pixels no screen shows.
  const SIZE room = Room();
  const AreaSize bound{static_cast<int>(room.cx), static_cast<int>(room.cy)};
  // The path stays wide to the file functions; only the box narrows it.
  if (const std::string problem = OpenStateFile(form1_.Panel(), path, bound); !problem.empty()) {
    Errors().Report(window_, problem);
    return false;
  }
  ShowAtFieldSize();
  return true;
}

bool TForm2::OpenLink(const std::wstring& address) {
  const SIZE room = Room();
  const std::string problem =
      form1_.Panel().OpenLink(Narrow(address), {static_cast<int>(room.cx), static_cast<int>(room.cy)});
  if (!problem.empty()) {
    Errors().Report(window_, problem);
    return false;
  }
  ShowAtFieldSize();
  return true;
}

bool TForm2::CopyLink() {
  const std::string problem = CopyTextToClipboard(window_, Widen(LinkAddress(form1_.Panel().LinkFragment())));
  if (problem.empty()) return true;
  Errors().Report(window_, CopyLinkFailedText(problem));
  return false;
}

void TForm2::ShowGallery() {
  if (gallery_ != nullptr && IsWindowVisible(gallery_->Handle())) {
    if (IsIconic(gallery_->Handle())) ShowWindow(gallery_->Handle(), SW_RESTORE);
    SetForegroundWindow(gallery_->Handle());
    return;
  }
  // One closed but not yet destroyed is made anew.
  if (gallery_ != nullptr) galleryEntry_ = gallery_->Selected();
  gallery_.reset();
  // Owned by this window, so that it stays in front of it.
  gallery_ = std::make_unique<GalleryWindow>(window_, galleryEntry_, [this](const std::string& link) {
    return OpenLink(Widen(link));
  });
}

void TForm2::ShowAtFieldSize() {
  const ParticleField& field = form1_.Panel().Field();
  const SIZE wanted{field.FieldWidth, field.FieldHeight};
  const SIZE given = SetFieldSize(wanted);
  form1_.RunOpened();
  if (!IsWindowVisible(window_)) ShowIfHidden();
  if (given.cx != wanted.cx || given.cy != wanted.cy) {
    Errors().Report(window_, WindowTooSmallText(wanted.cx, wanted.cy, given.cx, given.cy), MB_ICONINFORMATION);
  }
}

bool TForm2::SavePicture(const std::wstring& path) {
  const std::string problem = bitmap_.Width() > 0 && bitmap_.Height() > 0 ? WriteFramePng(path, bitmap_)
                                                                          : EmptyPictureReason();
  if (problem.empty()) return true;
  Errors().Report(window_, SavePictureFailedText(Narrow(path), problem));
  return false;
}

bool TForm2::CopyPicture() {
  if (bitmap_.Width() <= 0 || bitmap_.Height() <= 0) return false;
  const std::string problem = CopyFrameToClipboard(window_, bitmap_);
  if (problem.empty()) return true;
  Errors().Report(window_, CopyPictureFailedText(problem));
  return false;
}

void TForm2::StartRecording(const std::wstring& path) {
  // The path stays wide to the file functions; only the boxes narrow it.
  form1_.Panel().StartRecording(std::make_unique<RecordingFile>(path), Narrow(path));
  UpdateRecordItem();
}

bool TForm2::StopRecording() {
  const std::string problem = form1_.Panel().StopRecording();
  UpdateRecordItem();
  if (problem.empty()) return true;
  Errors().Report(window_, problem);
  return false;
}

void TForm2::ShowRecordingStatus(const std::string& status) {
  // In the title, never in the frame: what is recorded is what is drawn.
  // Set only when it changes, which is at most once a tick.
  std::wstring title = Widen(Tr("Zintrel"));
  if (!status.empty()) title += L" \u2014 " + Widen(status);
  if (title != title_ && window_ != nullptr) {
    title_ = std::move(title);
    SetWindowTextW(window_, title_.c_str());
  }
  // Whatever ended the recording (a resize, a fault, a failed write), the
  // menu follows.
  UpdateRecordItem();
}

void TForm2::UpdateRecordItem() {
  const bool recording = form1_.Panel().Recording();
  if (recording == recordItemStopping_) return;
  recordItemStopping_ = recording;
  const std::wstring text = RecordItemText(recording);
  ModifyMenuW(menu_, kRecord, MF_BYCOMMAND | MF_STRING, kRecord, text.c_str());
}

IDropTarget* TForm2::DropTarget() const { return dropTarget_; }

void TForm2::OpenDroppedFile() {
  RunGuarded(window_, [this] {
    const std::wstring path = std::move(droppedFile_);
    droppedFile_.clear();
    if (!path.empty()) OpenState(path);
  });
}

}  // namespace zintrel
