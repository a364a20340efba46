// What the windows show, written for the tests that start the program under
// each language: every text a person reads in the two windows, the menu and
// the tips, and whether each control's text fits its rectangle. Compiled into
// the test build only.
#include <cstdio>
#include <string>

#include "settings/label_fit.h"
#include "win/gallery_window.h"
#include "win/unit21.h"
#include "win/unit23.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

// Tabs and line breaks would split the report's fields.
std::string Escaped(const std::wstring& text) {
  std::string line;
  for (const char c : Narrow(text)) {
    if (c == '\t') line += "\\t";
    else if (c == '\n') line += "\\n";
    else line += c;
  }
  return line;
}

}  // namespace

void TForm1::WriteTexts() const {
  FILE* file = _wfopen(textsFile_.c_str(), L"wb");
  if (file == nullptr) return;
  const auto line = [file](const char* name, const std::wstring& text, const char* fit = nullptr) {
    std::fprintf(file, "%s\t%s%s%s\n", name, Escaped(text).c_str(), fit ? "\t" : "", fit ? fit : "");
  };
  line("Form1", WindowText(window_));
  if (display_ != nullptr) line("Form2", WindowText(display_->Handle()));

  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int gap = Scaled(3, dpi_);
  const struct {
    const char* name;
    HWND control;
    int besides;  // What the control draws beside its text, in pixels.
  } controls[] = {
      {"StaticText1", StaticText1, 0}, {"CheckBox1", CheckBox1, GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi_) + gap},
      {"StaticText2", StaticText2, 0}, {"StaticText3", StaticText3, 0}, {"StaticText4", StaticText4, 0},
      {"StaticText5", StaticText5, 0}, {"StaticText6", StaticText6, 0}, {"StaticText7", StaticText7, 0},
      {"Button1", Button1, 2 * gap},   {"Button2", Button2, 2 * gap},   {"StaticText8", StaticText8, 0},
      {"Button3", Button3, 2 * gap},   {"Button4", Button4, 2 * gap},   {"StaticText9", StaticText9, 0},
  };
  for (const auto& [name, control, besides] : controls) {
    RECT client{};
    GetClientRect(control, &client);
    RECT placed{};
    GetWindowRect(control, &placed);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&placed), 2);
    // A label also keeps left of its slider; every control stays inside the
    // window.
    const bool isLabel = besides == 0;
    const bool fits = TextWidth(dc, control) + besides <= client.right && metrics.tmHeight <= client.bottom &&
                      placed.left >= 0 && placed.right <= Scaled(204, dpi_) &&
                      (!isLabel || placed.right <= Scaled(kLabelRoomRight, dpi_));
    line(name, WindowText(control), fits ? "fits" : "clipped");
  }
  SelectObject(dc, old);
  ReleaseDC(window_, dc);

  if (display_ != nullptr) {
    HMENU menu = display_->Menu();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[256];
      GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
      line(("Menu" + std::to_string(i + 1)).c_str(), text);
    }
  }
  for (const Slider slider : kSliders) {
    line(("Tip" + std::to_string(static_cast<int>(slider) + 1)).c_str(), Widen(panel_.ValueText(slider)));
  }
  // The gallery's title and the names under its pictures, once it shows.
  if (const GalleryWindow* gallery = display_ != nullptr ? display_->Gallery() : nullptr) {
    line("Gallery", WindowText(gallery->Handle()));
    for (std::size_t i = 0; i < gallery->Names().size(); ++i) {
      line(("Gallery" + std::to_string(i + 1)).c_str(), gallery->Names()[i]);
    }
  }
  std::fclose(file);
}

}  // namespace zintrel
