#include "win/gallery_window.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "settings/catalog.h"
#include "settings/gallery.h"
#include "settings/panel_layout.h"
#include "win/ui_font.h"
#include "win/unit23.h"
#include "win/wide_text.h"
#include "win/window_proc.h"

namespace zintrel {
namespace {

constexpr wchar_t kClassName[] = L"TGallery";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_VSCROLL;
constexpr UINT_PTR kFrameTimer = 1;
// Posted by the reading thread when it has read thumbnails.
constexpr UINT kThumbnailReadMessage = WM_APP + 1;
// The thumbnails' size where one cannot be read (a decoder that refuses
// it): the size `make gallery` writes.
constexpr int kThumbnailWidth = 240;
constexpr int kThumbnailHeight = 160;

int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

// Milliseconds of the performance counter: the window timer fires on the
// system's 15.6 ms steps, and frames due by this clock keep their delays on
// average whatever the steps.
ULONGLONG Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<ULONGLONG>(count.QuadPart / (frequency.QuadPart / 1000));
}

// Reads a thumbnail carried in the program's resources under its file name,
// or gives nothing, shown as an empty picture, where it is missing or
// unreadable: the gallery's runs are still there to choose.
std::unique_ptr<GifAnimation> LoadThumbnail(IWICImagingFactory* factory, const std::string& name) {
  if (factory == nullptr) return nullptr;
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, Widen(name).c_str(), reinterpret_cast<LPCWSTR>(RT_RCDATA));
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return nullptr;
  try {
    return std::make_unique<GifAnimation>(*factory, bytes, SizeofResource(module, found));
  } catch (const std::runtime_error&) {
    return nullptr;
  }
}

}  // namespace

GalleryWindow::GalleryWindow(HWND owner, int selected, std::function<bool(const std::string&)> choose)
    : owner_(owner), choose_(std::move(choose)) {
  const std::vector<GalleryRun>& runs = GalleryRuns();
  selected_ = std::clamp(selected, 0, static_cast<int>(runs.size()) - 1);
  for (const GalleryRun& run : runs) names_.push_back(Widen(Tr(run.name.c_str())));
  animations_.resize(runs.size());

  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass<GalleryWindow>(instance, kClassName);
  CreateWindowExW(0, kClassName, Widen(Tr(kGalleryTitle)).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 800,
                  600, owner, nullptr, instance, this);
  if (window_ == nullptr) throw std::runtime_error(Tr("The gallery window cannot be created"));
  dpi_ = GetDpiForWindow(window_);
  font_ = CreateUiFont(dpi_);
  LayOut();
  // Three columns and three rows to start with, centred on the display
  // window's monitor, within its work area.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  RECT frame{0, 0, 3 * cellWidth_ + gap_ + GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_), 3 * cellHeight_ + gap_};
  AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, dpi_);
  const int width = std::min(frame.right - frame.left, work.right - work.left);
  const int height = std::min(frame.bottom - frame.top, work.bottom - work.top);
  SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
  ScrollTo(EntryRect(selected_).top - gap_);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  // Reading all the thumbnails takes seconds under Wine, whose decoder
  // unpacks every frame as it opens a file: the window answers at once and
  // each picture shows as it is read, the selected one's row first.
  std::vector<std::size_t> order;
  const std::size_t first = static_cast<std::size_t>(selected_ - selected_ % columns_);
  for (std::size_t i = 0; i < runs.size(); ++i) order.push_back((first + i) % runs.size());
  reader_ = std::thread([this, order, window = window_] { ReadThumbnails(window, order); });
}

void GalleryWindow::ReadThumbnails(HWND window, const std::vector<std::size_t>& order) {
  // The factory is free-threaded; this thread joins the multithreaded
  // apartment for it.
  const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    Microsoft::WRL::ComPtr<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    const std::vector<GalleryRun>& runs = GalleryRuns();
    for (const std::size_t entry : order) {
      if (stopReading_) break;
      std::unique_ptr<GifAnimation> animation = LoadThumbnail(factory.Get(), runs[entry].thumbnail);
      if (!animation) continue;
      {
        const std::lock_guard<std::mutex> lock(readMutex_);
        read_.emplace_back(entry, std::move(animation));
      }
      PostMessageW(window, kThumbnailReadMessage, 0, 0);
    }
  }
  if (SUCCEEDED(joined)) CoUninitialize();
}

void GalleryWindow::TakeThumbnails() {
  std::vector<std::pair<std::size_t, std::unique_ptr<GifAnimation>>> taken;
  {
    const std::lock_guard<std::mutex> lock(readMutex_);
    taken.swap(read_);
  }
  const ULONGLONG now = Now();
  for (auto& [entry, animation] : taken) {
    animation->Start(now);
    animations_[entry] = std::move(animation);
    const RECT picture = PictureRect(static_cast<int>(entry));
    InvalidateRect(window_, &picture, FALSE);
  }
  KillTimer(window_, kFrameTimer);
  ArmTimer();
}

GalleryWindow::~GalleryWindow() {
  stopReading_ = true;
  if (reader_.joinable()) reader_.join();
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
}

void GalleryWindow::LayOut() {
  zoom_ = FrameZoomAt(dpi_);
  gap_ = Scaled(12, dpi_);
  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
  labelHeight_ = metrics.tmHeight + Scaled(8, dpi_);
  cellWidth_ = kThumbnailWidth * zoom_ + gap_;
  cellHeight_ = kThumbnailHeight * zoom_ + labelHeight_ + gap_;
  RECT client{};
  GetClientRect(window_, &client);
  columns_ = std::max(1, static_cast<int>((client.right - gap_) / cellWidth_));
  // The grid centred, its outer gaps equal.
  left_ = std::max(0, static_cast<int>(client.right - columns_ * cellWidth_ + gap_) / 2);
  const int rows = (static_cast<int>(names_.size()) + columns_ - 1) / columns_;
  contentHeight_ = rows * cellHeight_ + gap_;
  ScrollTo(scroll_);
  InvalidateRect(window_, nullptr, TRUE);
}

void GalleryWindow::ScrollTo(int position) {
  RECT client{};
  GetClientRect(window_, &client);
  scroll_ = std::clamp(position, 0, std::max(0, contentHeight_ - static_cast<int>(client.bottom)));
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  // Always shown, so that the columns never change as it comes and goes.
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMax = contentHeight_ - 1;
  info.nPage = static_cast<UINT>(client.bottom);
  info.nPos = scroll_;
  SetScrollInfo(window_, SB_VERT, &info, TRUE);
  InvalidateRect(window_, nullptr, FALSE);
}

RECT GalleryWindow::EntryRect(int entry) const {
  const int x = left_ + (entry % columns_) * cellWidth_;
  const int y = gap_ + (entry / columns_) * cellHeight_ - scroll_;
  return {x, y, x + kThumbnailWidth * zoom_, y + kThumbnailHeight * zoom_ + labelHeight_};
}

RECT GalleryWindow::PictureRect(int entry) const {
  RECT rect = EntryRect(entry);
  rect.bottom -= labelHeight_;
  return rect;
}

int GalleryWindow::EntryAt(POINT point) const {
  for (int entry = 0; entry < static_cast<int>(names_.size()); ++entry) {
    const RECT rect = EntryRect(entry);
    if (PtInRect(&rect, point)) return entry;
  }
  return -1;
}

void GalleryWindow::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  // The background around the pictures only, which would flicker under
  // them at every frame.
  const int count = static_cast<int>(names_.size());
  const int saved = SaveDC(dc);
  for (int entry = 0; entry < count; ++entry) {
    const RECT picture = PictureRect(entry);
    ExcludeClipRect(dc, picture.left, picture.top, picture.right, picture.bottom);
  }
  FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
  RestoreDC(dc, saved);

  HGDIOBJ oldFont = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetStretchBltMode(dc, COLORONCOLOR);
  RECT touched{};
  for (int entry = 0; entry < count; ++entry) {
    RECT rect = EntryRect(entry);
    if (entry == selected_) InflateRect(&rect, gap_ / 3, gap_ / 3);
    if (!IntersectRect(&touched, &rect, &paint.rcPaint)) continue;
    const RECT picture = PictureRect(entry);
    if (entry == selected_) {
      // A frame of the selection colour around the picture and its name.
      FillRect(dc, &rect, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    if (const GifAnimation* animation = animations_[static_cast<std::size_t>(entry)].get()) {
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = animation->Width();
      info.bmiHeader.biHeight = -animation->Height();  // Top-down.
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      // Enlarged by the display window's whole factor: clean blocks of the
      // frame's pixels.
      StretchDIBits(dc, picture.left, picture.top, picture.right - picture.left, picture.bottom - picture.top, 0, 0,
                    animation->Width(), animation->Height(), animation->Pixels(), &info, DIB_RGB_COLORS, SRCCOPY);
    } else {
      FillRect(dc, &picture, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    RECT label{picture.left, picture.bottom, picture.right, picture.bottom + labelHeight_};
    SetTextColor(dc, GetSysColor(entry == selected_ ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT));
    DrawTextW(dc, names_[static_cast<std::size_t>(entry)].c_str(), -1, &label,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  SelectObject(dc, oldFont);
  EndPaint(window_, &paint);
}

void GalleryWindow::ArmTimer() {
  ULONGLONG next = ~0ULL;
  for (const auto& animation : animations_) {
    if (animation) next = std::min(next, animation->NextDue());
  }
  if (next == ~0ULL) return;
  const ULONGLONG now = Now();
  // A minimised window draws nothing; it looks again four times a second.
  const ULONGLONG wait = IsIconic(window_) ? 250 : (next > now ? next - now : 0);
  SetTimer(window_, kFrameTimer, static_cast<UINT>(std::max<ULONGLONG>(USER_TIMER_MINIMUM, wait)), nullptr);
}

void GalleryWindow::OnTimer() {
  if (!IsIconic(window_)) {
    const ULONGLONG now = Now();
    RECT client{};
    GetClientRect(window_, &client);
    RECT visible{};
    for (std::size_t entry = 0; entry < animations_.size(); ++entry) {
      GifAnimation* animation = animations_[entry].get();
      if (animation == nullptr || !animation->Advance(now)) continue;
      // Only the pictures that changed and show are drawn again.
      const RECT picture = PictureRect(static_cast<int>(entry));
      if (IntersectRect(&visible, &picture, &client)) InvalidateRect(window_, &picture, FALSE);
    }
  }
  ArmTimer();
}

void GalleryWindow::Select(int entry) {
  entry = std::clamp(entry, 0, static_cast<int>(names_.size()) - 1);
  if (entry != selected_) {
    for (const int changed : {selected_, entry}) {
      RECT rect = EntryRect(changed);
      InflateRect(&rect, gap_ / 2, gap_ / 2);
      InvalidateRect(window_, &rect, FALSE);
    }
    selected_ = entry;
  }
  // Scrolled just enough to show it whole.
  RECT client{};
  GetClientRect(window_, &client);
  const RECT rect = EntryRect(selected_);
  if (rect.top < gap_) ScrollTo(scroll_ + rect.top - gap_);
  else if (rect.bottom + gap_ > client.bottom) ScrollTo(scroll_ + rect.bottom + gap_ - client.bottom);
}

void GalleryWindow::Choose(int entry) {
  Select(entry);
  // A run that did not start (its box has said why) leaves the gallery open.
  if (choose_(GalleryRuns()[static_cast<std::size_t>(selected_)].link)) Close();
}

void GalleryWindow::Close() {
  KillTimer(window_, kFrameTimer);
  ShowWindow(window_, SW_HIDE);
  PostMessageW(owner_, kGalleryClosedMessage, 0, 0);
}

void GalleryWindow::OnKey(WPARAM key) {
  const int count = static_cast<int>(names_.size());
  RECT client{};
  GetClientRect(window_, &client);
  const int page = columns_ * std::max(1, static_cast<int>(client.bottom / cellHeight_));
  switch (key) {
    case VK_LEFT: Select(selected_ - 1); return;
    case VK_RIGHT: Select(selected_ + 1); return;
    case VK_UP: Select(selected_ - columns_ >= 0 ? selected_ - columns_ : selected_); return;
    case VK_DOWN: Select(selected_ + columns_ < count ? selected_ + columns_ : selected_); return;
    case VK_PRIOR: Select(selected_ - page); return;
    case VK_NEXT: Select(selected_ + page); return;
    case VK_HOME: Select(0); return;
    case VK_END: Select(count - 1); return;
    case VK_TAB:
      // Round the grid, as Tab goes round a dialog's controls.
      Select((selected_ + ((GetKeyState(VK_SHIFT) & 0x8000) ? count - 1 : 1)) % count);
      return;
    case VK_RETURN:
    case VK_SPACE: Choose(selected_); return;
    case VK_ESCAPE: Close(); return;
    default: return;
  }
}

void GalleryWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  if (font_ != nullptr) DeleteObject(font_);
  font_ = CreateUiFont(dpi_);
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
}

LRESULT GalleryWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // The paint fills the background itself.
    case WM_SIZE:
      if (font_ != nullptr) LayOut();
      return 0;
    case WM_TIMER:
      if (wParam == kFrameTimer) OnTimer();
      return 0;
    case kThumbnailReadMessage:
      if (IsWindowVisible(window_)) TakeThumbnails();
      return 0;
    case WM_KEYDOWN:
      OnKey(wParam);
      return 0;
    case WM_LBUTTONDOWN: {
      pressed_ = EntryAt({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      if (pressed_ >= 0) {
        Select(pressed_);
        SetCapture(window_);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      const int entry = EntryAt({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      const int pressed = std::exchange(pressed_, -1);
      ReleaseCapture();
      // A click is a press and a release on the same run.
      if (entry >= 0 && entry == pressed) Choose(entry);
      return 0;
    }
    case WM_MOUSEWHEEL:
      ScrollTo(scroll_ - GET_WHEEL_DELTA_WPARAM(wParam) * (cellHeight_ / 2) / WHEEL_DELTA);
      return 0;
    case WM_VSCROLL: {
      RECT client{};
      GetClientRect(window_, &client);
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(window_, SB_VERT, &info);
      switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollTo(scroll_ - cellHeight_ / 4); break;
        case SB_LINEDOWN: ScrollTo(scroll_ + cellHeight_ / 4); break;
        case SB_PAGEUP: ScrollTo(scroll_ - client.bottom); break;
        case SB_PAGEDOWN: ScrollTo(scroll_ + client.bottom); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollTo(info.nTrackPos); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(contentHeight_); break;
        default: break;
      }
      return 0;
    }
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      KillTimer(window_, kFrameTimer);
      window_ = nullptr;
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

}  // namespace zintrel
