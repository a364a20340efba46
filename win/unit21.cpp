#include "win/unit21.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "settings/catalog.h"
#include "settings/label_fit.h"
#include "win/error_box.h"
#include "win/gallery_window.h"
#include "win/ui_font.h"
#include "win/unit23.h"
#include "win/wide_text.h"
#include "win/window_proc.h"

namespace zintrel {
namespace {

constexpr wchar_t kClassName[] = L"TForm1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // Fixed single border, close box only.
constexpr DWORD kExStyle = 0;

// Client-area layout in pixels at 96 dots per inch, made for a 12-pixel
// proportional gothic. Every slider is 123 x 33 at x = 72.
constexpr int kClientWidth = 204;
constexpr int kClientHeight = 519;
constexpr int kSliderLeft = 72;
constexpr int kSliderWidth = 123;
constexpr int kSliderHeight = 33;

enum ControlId {
  kTrackBar1 = 101, kCheckBox1, kTrackBar2, kTrackBar3, kTrackBar6, kTrackBar7, kTrackBar4, kTrackBar5,
  kButton1, kButton2, kTrackBar8, kButton3, kButton4, kTrackBar9,
};

// The plain window timer that runs a tick deferred behind input or painting.
constexpr UINT_PTR kDeferredTick = 1;

int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

HWND AddControl(HWND parent, const wchar_t* kind, const wchar_t* text, DWORD style, int id) {
  return CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

HWND AddTrackBar(HWND parent, int id, int minimum, int maximum, int position, bool everyStep) {
  HWND slider = AddControl(parent, TRACKBAR_CLASSW, L"",
                           WS_TABSTOP | TBS_HORZ | TBS_BOTTOM | (everyStep ? TBS_AUTOTICKS : 0), id);
  SendMessageW(slider, TBM_SETRANGEMIN, FALSE, minimum);
  SendMessageW(slider, TBM_SETRANGEMAX, FALSE, maximum);
  // Without automatic ticks a track bar marks its two ends only.
  if (everyStep) SendMessageW(slider, TBM_SETTICFREQ, 1, 0);
  SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
  SendMessageW(slider, TBM_SETPAGESIZE, 0, 2);
  SendMessageW(slider, TBM_SETPOS, TRUE, position);
  return slider;
}

}  // namespace

TForm1::TForm1(HINSTANCE instance, ParticleField& field, FrameBitmap& bitmap, RandomSource& random)
    : panel_(field, bitmap, random, *this) {
  RegisterWindowClass<TForm1>(instance, kClassName);
  // Created at its place first; its size follows once the monitor's dpi is
  // known.
  CreateWindowExW(kExStyle, kClassName, Widen(Tr("Zintrel - Settings")).c_str(), kStyle, 157, 109, kClientWidth, kClientHeight,
                  nullptr, nullptr, instance, this);
  if (window_ == nullptr) throw std::runtime_error(Tr("The settings window cannot be created"));
  dpi_ = GetDpiForWindow(window_);
  RECT frame{0, 0, Scaled(kClientWidth, dpi_), Scaled(kClientHeight, dpi_)};
  AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi_);
  SetWindowPos(window_, nullptr, Scaled(157, dpi_), Scaled(109, dpi_), frame.right - frame.left,
               frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
  BuildControls();
  LayOut();
  AddTips();

  timer_ = std::make_unique<TickTimer>(window_, kTickMessage);
  // Armed now, but no tick can arrive before the message loop runs.
  RunGuarded(window_, [this] { panel_.StartTimer(16); });
#ifdef ZINTREL_TEST_HOOKS
  if (const char* at = std::getenv("ZINTREL_FAULT_AT_TICK")) faultAtTick_ = std::atoll(at);
  if (const wchar_t* file = _wgetenv(L"ZINTREL_TICK_COUNTER_FILE")) counterFile_ = file;
  if (const wchar_t* file = _wgetenv(L"ZINTREL_TEXTS_FILE")) textsFile_ = file;
  if (const char* ticks = std::getenv("ZINTREL_OPENED_TICKS")) openedTicks_ = std::atoll(ticks);
  if (const wchar_t* file = _wgetenv(L"ZINTREL_OPENED_STATE_FILE")) openedStateFile_ = file;
#endif
  Guarded([this] { FormCreate(); });
  lastFocus_ = TrackBar1;
}

TForm1::~TForm1() {
  timer_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
}

void TForm1::BuildControls() {
  // Created in tab order, which is also the order the keyboard visits them.
  TrackBar1 = AddTrackBar(window_, kTrackBar1, 0, 99, 50, false);
  CheckBox1 = AddControl(window_, WC_BUTTONW, Widen(Tr("Show direction")).c_str(), WS_TABSTOP | BS_AUTOCHECKBOX, kCheckBox1);
  SendMessageW(CheckBox1, BM_SETCHECK, BST_CHECKED, 0);
  TrackBar2 = AddTrackBar(window_, kTrackBar2, 0, 6, 3, true);
  TrackBar3 = AddTrackBar(window_, kTrackBar3, 1, 24, 8, true);
  TrackBar6 = AddTrackBar(window_, kTrackBar6, 0, 99, 1, false);
  TrackBar7 = AddTrackBar(window_, kTrackBar7, 0, 99, 8, false);
  TrackBar4 = AddTrackBar(window_, kTrackBar4, 0, 99, 33, false);
  TrackBar5 = AddTrackBar(window_, kTrackBar5, 0, 99, 33, false);
  Button1 = AddControl(window_, WC_BUTTONW, Widen(Tr("type1")).c_str(), WS_TABSTOP | BS_PUSHBUTTON, kButton1);
  Button2 = AddControl(window_, WC_BUTTONW, Widen(Tr("type2")).c_str(), WS_TABSTOP | BS_PUSHBUTTON, kButton2);
  TrackBar8 = AddTrackBar(window_, kTrackBar8, 0, 99, 10, false);
  Button3 = AddControl(window_, WC_BUTTONW, Widen(Tr("Scatter")).c_str(), WS_TABSTOP | BS_PUSHBUTTON, kButton3);
  Button4 = AddControl(window_, WC_BUTTONW, Widen(Tr("Play / Pause")).c_str(), WS_TABSTOP | BS_PUSHBUTTON, kButton4);
  TrackBar9 = AddTrackBar(window_, kTrackBar9, 0, 99, 33, false);
  // The labels never take the focus.
  StaticText1 = AddControl(window_, WC_STATICW, Widen(Tr("Particles")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
  StaticText2 = AddControl(window_, WC_STATICW, Widen(Tr("Size")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
  StaticText3 = AddControl(window_, WC_STATICW, Widen(Tr("MAX SPEED")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
  StaticText4 = AddControl(window_, WC_STATICW, Widen(Tr("Activity")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
  StaticText5 = AddControl(window_, WC_STATICW, Widen(Tr("Repulsion")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
  StaticText6 = AddControl(window_, WC_STATICW, Widen(Tr("Accel.")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
  StaticText7 = AddControl(window_, WC_STATICW, Widen(Tr("Push accel.")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
  StaticText8 = AddControl(window_, WC_STATICW, Widen(Tr("Radius")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
  StaticText9 = AddControl(window_, WC_STATICW, Widen(Tr("Tick rate")).c_str(), SS_LEFT | SS_NOPREFIX, 0);
}

void TForm1::LayOut() {
  if (font_ != nullptr) DeleteObject(font_);
  font_ = CreateUiFont(dpi_);
  const struct {
    HWND control;
    RECT bounds;  // Left, top, width, height at 96 dpi.
  } layout[] = {
      {StaticText1, {16, 29, 52, 16}},   {TrackBar1, {kSliderLeft, 24, kSliderWidth, kSliderHeight}},
      {CheckBox1, {32, 57, 113, 17}},    {StaticText2, {32, 85, 35, 16}},
      {TrackBar2, {kSliderLeft, 80, kSliderWidth, kSliderHeight}},
      {StaticText3, {4, 133, 68, 16}},   {TrackBar3, {kSliderLeft, 128, kSliderWidth, kSliderHeight}},
      {StaticText4, {24, 181, 40, 16}},  {TrackBar6, {kSliderLeft, 176, kSliderWidth, kSliderHeight}},
      {StaticText5, {24, 221, 40, 16}},  {TrackBar7, {kSliderLeft, 216, kSliderWidth, kSliderHeight}},
      {StaticText6, {24, 261, 40, 16}},  {TrackBar4, {kSliderLeft, 256, kSliderWidth, kSliderHeight}},
      {StaticText7, {8, 301, 64, 16}},   {TrackBar5, {kSliderLeft, 296, kSliderWidth, kSliderHeight}},
      {Button1, {40, 336, 49, 25}},      {Button2, {112, 336, 49, 25}},
      {StaticText8, {16, 389, 52, 16}},  {TrackBar8, {kSliderLeft, 384, kSliderWidth, kSliderHeight}},
      {Button3, {28, 424, 49, 25}},      {Button4, {96, 424, 77, 25}},
      {StaticText9, {16, 477, 52, 16}},  {TrackBar9, {kSliderLeft, 472, kSliderWidth, kSliderHeight}},
  };
  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, font_);
  for (const auto& [control, layoutBounds] : layout) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    const Bounds bounds{layoutBounds.left, layoutBounds.top, layoutBounds.right, layoutBounds.bottom};
    // The text's width at 96 dpi, rounded up, so that the scaled label holds
    // the scaled text.
    const int textWidth = (TextWidth(dc, control) * 96 + static_cast<int>(dpi_) - 1) / static_cast<int>(dpi_);
    Bounds placed = bounds;
    if (IsLabel(control)) placed = FittedLabel(bounds, textWidth);
    int width = Scaled(placed.width, dpi_);
    if (control == CheckBox1) {
      // The box, a gap and the text: the layout's width was made for a font
      // a little narrower than some substitutes, and widened just enough
      // that the text is never clipped.
      width = std::max(width, TextWidth(dc, control) + Scaled(20, dpi_));
    }
    MoveWindow(control, Scaled(placed.left, dpi_), Scaled(placed.top, dpi_), width, Scaled(placed.height, dpi_),
               TRUE);
  }
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
}

bool TForm1::IsLabel(HWND control) const {
  for (HWND label : {StaticText1, StaticText2, StaticText3, StaticText4, StaticText5, StaticText6, StaticText7,
                     StaticText8, StaticText9}) {
    if (control == label) return true;
  }
  return false;
}

int TForm1::TextWidth(HDC dc, HWND control) {
  const std::wstring text = WindowText(control);
  if (text.empty()) return 0;
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  return static_cast<int>(extent.cx);
}

std::wstring TForm1::WindowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

void TForm1::AddTips() {
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0,
                          0, 0, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
  for (const Slider slider : kSliders) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(SliderHandle(slider));
    // Asked for when shown, so the tip always tells the value in use.
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

template <typename Handler>
void TForm1::Guarded(Handler&& handler) {
  RunGuarded(window_, std::forward<Handler>(handler));
}

void TForm1::SetDisplayWindow(TForm2* display) {
  display_ = display;
  // A state file dropped here opens as on the display window.
  if (display_ != nullptr) RegisterDragDrop(window_, display_->DropTarget());
}

void TForm1::FormCreate() { panel_.FormCreate(); }

void TForm1::Timer1Timer() {
  if (display_ == nullptr) return;
#ifdef ZINTREL_TEST_HOOKS
  CountTick();
  if (ticks_ == 1 && !textsFile_.empty()) WriteTexts();
  const bool galleryShown = display_->Gallery() != nullptr && IsWindowVisible(display_->Gallery()->Handle());
  if (galleryShown && !galleryTextsWritten_ && !textsFile_.empty()) WriteTexts();
  galleryTextsWritten_ = galleryShown;
  if (ticks_ == faultAtTick_) throw std::runtime_error("Injected fault");
#endif
  const SIZE size = display_->FieldSize();
  panel_.Timer1Timer(size.cx, size.cy);
#ifdef ZINTREL_TEST_HOOKS
  if (ticksSinceOpened_ >= 0 && ++ticksSinceOpened_ == openedTicks_ && !openedStateFile_.empty()) {
    WriteOpenedState();
  }
#endif
}

void TForm1::RunOpened() {
#ifdef ZINTREL_TEST_HOOKS
  ticksSinceOpened_ = 0;
#endif
}

void TForm1::RunTick() {
  // Answered when the tick is over, while unwinding, so that no next tick is
  // posted during this one, yet one can be while its fault's box is open.
  struct Answer {
    TickTimer& timer;
    ~Answer() { timer.Taken(); }
  };
  Guarded([this] {
    const Answer answer{*timer_};
    Timer1Timer();
  });
}

#ifdef ZINTREL_TEST_HOOKS
void TForm1::WriteOpenedState() const {
  // Under a name of its own first, so that the test never reads half.
  const std::wstring part = openedStateFile_ + L".part";
  FILE* file = _wfopen(part.c_str(), L"wb");
  if (file == nullptr) return;
  const std::string text = panel_.SavedStateText();
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) == 0 && written) MoveFileExW(part.c_str(), openedStateFile_.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void TForm1::CountTick() {
  ++ticks_;
  const ULONGLONG now = GetTickCount64();
  if (counterFile_.empty() || now - lastCount_ < 1000) return;
  lastCount_ = now;
  if (FILE* file = _wfopen(counterFile_.c_str(), L"w")) {
    std::fprintf(file, "%lld\n", ticks_);
    std::fclose(file);
  }
}
#endif

LRESULT TForm1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kTickMessage:
      if (!timer_->ShouldDefer(kDeferredTick)) RunTick();
      return 0;
    case WM_TIMER:
      if (wParam != kDeferredTick) return DefWindowProcW(window_, message, wParam, lParam);
      KillTimer(window_, kDeferredTick);
      RunTick();
      return 0;
    case WM_HSCROLL:
      OnHScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC: {
      // Labels, the check box and the track bars on the button-face colour.
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
      } else if (lastFocus_ != nullptr) {
        SetFocus(lastFocus_);
      }
      return 0;
    case WM_CLOSE:
      // The main window: closing it ends the program even while the display
      // window is still open, and a recording with it, saved; a failure to
      // save it is told before the program goes.
      if (display_ != nullptr && panel_.Recording()) Guarded([this] { display_->StopRecording(); });
      DestroyWindow(window_);
      return 0;
    case WM_ENDSESSION:
      // Signing out, shutting down or restarting (or an installer closing
      // the program) ends it without WM_CLOSE, and the system may end the
      // process the moment this returns: the recording is put on its name
      // here, and no box may hold that up. Then the program ends as on
      // quitting, for a session end that waits for it rather than ending
      // it. A session end called off (wParam 0) changes nothing.
      if (wParam != 0) {
        panel_.StopRecording();
        DestroyWindow(window_);
      }
      return 0;
    case WM_DESTROY:
      RevokeDragDrop(window_);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

void TForm1::OnHScroll(HWND control, int code) {
  // Every scroll action reports, even one that leaves the position where it
  // was; the end of a drag or key press only closes the action.
  if (code == TB_ENDTRACK) return;
  Slider slider;
  if (!SliderOf(control, slider)) return;
  switch (slider) {
    case Slider::kTrackBar1: return Guarded([this] { TrackBar1Change(); });
    case Slider::kTrackBar2: return Guarded([this] { TrackBar2Change(); });
    case Slider::kTrackBar3: return Guarded([this] { TrackBar3Change(); });
    case Slider::kTrackBar4: return Guarded([this] { TrackBar4Change(); });
    case Slider::kTrackBar5: return Guarded([this] { TrackBar5Change(); });
    case Slider::kTrackBar6: return Guarded([this] { TrackBar6Change(); });
    case Slider::kTrackBar7: return Guarded([this] { TrackBar7Change(); });
    case Slider::kTrackBar8: return;  // No handler: Initialise reads it when pressed.
    case Slider::kTrackBar9: return Guarded([this] { TrackBar9Change(); });
  }
}

void TForm1::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kCheckBox1: return Guarded([this] { CheckBox1Click(); });
    case kButton1: return Guarded([this] { Button1Click(); });
    case kButton2: return Guarded([this] { Button2Click(); });
    case kButton3: return Guarded([this] { Button3Click(); });
    case kButton4: return Guarded([this] { Button4Click(); });
    default: return;
  }
}

LRESULT TForm1::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != tips_ || header.code != TTN_GETDISPINFOW) return 0;
  auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
  Slider slider;
  if (!SliderOf(reinterpret_cast<HWND>(info.hdr.idFrom), slider)) return 0;
  tipText_ = Widen(panel_.ValueText(slider));
  info.lpszText = tipText_.data();
  return 0;
}

void TForm1::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
}

HWND TForm1::SliderHandle(Slider slider) const {
  static constexpr HWND TForm1::*kControls[] = {&TForm1::TrackBar1, &TForm1::TrackBar2, &TForm1::TrackBar3,
                                                &TForm1::TrackBar4, &TForm1::TrackBar5, &TForm1::TrackBar6,
                                                &TForm1::TrackBar7, &TForm1::TrackBar8, &TForm1::TrackBar9};
  return this->*kControls[static_cast<int>(slider)];
}

bool TForm1::SliderOf(HWND window, Slider& slider) const {
  for (const Slider candidate : kSliders) {
    if (SliderHandle(candidate) == window) {
      slider = candidate;
      return true;
    }
  }
  return false;
}

int TForm1::SliderPosition(Slider slider) const {
  return static_cast<int>(SendMessageW(SliderHandle(slider), TBM_GETPOS, 0, 0));
}

void TForm1::MoveSlider(Slider slider, int position) {
  // A track bar sends nothing when the program moves it; the handler runs
  // here instead, only when the position really changes (the range clamps).
  const int before = SliderPosition(slider);
  SendMessageW(SliderHandle(slider), TBM_SETPOS, TRUE, position);
  if (SliderPosition(slider) != before) OnHScroll(SliderHandle(slider), TB_THUMBPOSITION);
}

void TForm1::MoveSliderQuietly(Slider slider, int position) {
  SendMessageW(SliderHandle(slider), TBM_SETPOS, TRUE, position);
}

bool TForm1::OrientationShown() const { return SendMessageW(CheckBox1, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// BM_SETCHECK sends no click, so no handler runs.
void TForm1::ShowOrientationQuietly(bool shown) {
  SendMessageW(CheckBox1, BM_SETCHECK, shown ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TForm1::TimerInterval() const { return timer_->Interval(); }

bool TForm1::StartTimer(int interval) { return timer_->Start(interval); }

void TForm1::ShowHiddenDisplay() {
  if (display_ != nullptr) display_->ShowIfHidden();
}

void TForm1::RedrawDisplay() {
  if (display_ != nullptr) display_->CopyFrame();
}

void TForm1::ShowRecordingStatus(const std::string& status) {
  if (display_ != nullptr) display_->ShowRecordingStatus(status);
}

void TForm1::ShowNotice(const std::string& text) {
  Errors().Report(display_ != nullptr ? display_->Handle() : window_, text, MB_ICONINFORMATION);
}

// The tips ask for their text each time they show.
void TForm1::SetSliderTip(Slider, const std::string&) {}

}  // namespace zintrel
