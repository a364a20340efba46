// The Windows program: the same simulation, frame and settings behaviour as
// the Linux one, in the platform's own windows and controls.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <vector>

#include "render/frame_bitmap.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "settings/catalog.h"
#include "settings/ui_language.h"
#include "win/error_box.h"
#include "win/unit21.h"
#include "win/unit23.h"
#include "win/wide_text.h"

namespace {

// The arguments after the program's own name: at most one, a saved state to
// open, as a double click on one passes it.
std::vector<std::wstring> Arguments() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> given;
  for (int i = 1; i < count; ++i) given.emplace_back(arguments[i]);
  LocalFree(arguments);
  return given;
}

// The language the user chose for Windows' own texts ("ja-JP"), which need
// not be the one of their formats or region.
std::string UserUiLanguage() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = L"";
  LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0);
  return zintrel::Narrow(name);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::string language = zintrel::MatchLanguage(UserUiLanguage());
  zintrel::SetUiLanguage(language.empty() ? zintrel::kSourceLanguage : language);
  // The manifest declares per-monitor awareness; this covers a copy of the
  // program run without it.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // Several files are refused as the Linux program refuses them, with its
  // line and status; a program without a console says it in its box.
  const std::vector<std::wstring> arguments = Arguments();
  if (arguments.size() > 1) {
    zintrel::Errors().Report(nullptr, zintrel::Tr("Give at most one file"));
    return 2;
  }
  // The picture encoder and the file dialogs are COM components, and a
  // window that takes dropped files is an OLE drop target.
  OleInitialize(nullptr);

  // The process-wide state, alive until exit; the windows refer to it.
  auto field = std::make_unique<zintrel::ParticleField>();
  zintrel::FrameBitmap bitmap;
  zintrel::RandomSource random;
  int status = 0;
  try {
    // The settings window first (its creation fills the field), then the
    // display window, shown; the settings window is shown last, in front.
    zintrel::TForm1 form1(instance, *field, bitmap, random);
    zintrel::TForm2 form2(instance, bitmap, form1);
    form1.SetDisplayWindow(&form2);
    ShowWindow(form2.Handle(), SW_SHOWNOACTIVATE);
    ShowWindow(form1.Handle(), SW_SHOW);
    SetForegroundWindow(form1.Handle());
    if (!arguments.empty() && !arguments.front().empty()) form2.OpenState(arguments.front());

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (form2.TranslateShortcut(message)) continue;
      // Tab and the arrow keys move between the settings window's controls.
      if (form1.Handle() != nullptr && IsDialogMessageW(form1.Handle(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    status = static_cast<int>(message.wParam);
  } catch (const std::exception& error) {
    zintrel::Errors().Report(nullptr, error.what());
    status = 1;
  }
  OleUninitialize();
  return status;
}
