#include "win/ui_font.h"

namespace zintrel {
namespace {

// The design's face first, then the proportional Japanese UI faces of later
// Windows, then those a Wine or older system may carry.
constexpr const wchar_t* kFaces[] = {L"ＭＳ Ｐゴシック", L"MS PGothic", L"MS UI Gothic", L"Meiryo UI",
                                     L"Yu Gothic UI", L"IPAPGothic", L"IPAGothic", L"ＭＳ ゴシック"};

int CALLBACK Found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool HasFace(HDC dc, const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = SHIFTJIS_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(dc, &wanted, Found, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

// Any face with Japanese glyphs, when none of the known ones is there.
int CALLBACK AnyJapanese(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM face) {
  if (font->lfFaceName[0] == L'@') return 1;  // Vertical writing.
  *reinterpret_cast<std::wstring*>(face) = font->lfFaceName;
  return 0;
}

}  // namespace

std::wstring UiFontFace() {
  static const std::wstring face = [] {
    HDC dc = GetDC(nullptr);
    std::wstring chosen;
    for (const wchar_t* candidate : kFaces) {
      if (HasFace(dc, candidate)) {
        chosen = candidate;
        break;
      }
    }
    if (chosen.empty()) {
      LOGFONTW any{};
      any.lfCharSet = SHIFTJIS_CHARSET;
      EnumFontFamiliesExW(dc, &any, AnyJapanese, reinterpret_cast<LPARAM>(&chosen), 0);
    }
    ReleaseDC(nullptr, dc);
    // With no Japanese face at all, let the font mapper pick by character set.
    return chosen.empty() ? std::wstring(kFaces[0]) : chosen;
  }();
  return face;
}

HFONT CreateUiFont(UINT dpi) {
  return CreateFontW(-MulDiv(12, static_cast<int>(dpi), 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     VARIABLE_PITCH | FF_SWISS, UiFontFace().c_str());
}

}  // namespace zintrel
