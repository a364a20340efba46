#include "win/link_dialog.h"

#include "settings/catalog.h"
#include "settings/panel_layout.h"
#include "win/modal_scope.h"
#include "win/resource_ids.h"
#include "win/ui_font.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

struct LinkQuestion {
  std::wstring proposed;
  std::wstring answer;
  HFONT font = nullptr;
};

INT_PTR CALLBACK LinkDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* question = reinterpret_cast<LinkQuestion*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      question = reinterpret_cast<LinkQuestion*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetWindowTextW(dialog, Widen(Tr(kOpenLinkTitle)).c_str());
      SetDlgItemTextW(dialog, ZINTREL_OPEN_LINK_PROMPT, Widen(Tr(kOpenLinkPrompt)).c_str());
      SetDlgItemTextW(dialog, IDOK, Widen(Tr("OK")).c_str());
      SetDlgItemTextW(dialog, IDCANCEL, Widen(Tr("Cancel")).c_str());
      SetDlgItemTextW(dialog, ZINTREL_OPEN_LINK_ADDRESS, question->proposed.c_str());
      // The settings window's face, which shows Japanese where the dialog
      // font might not.
      question->font = CreateUiFont(GetDpiForWindow(dialog));
      for (const int control : {ZINTREL_OPEN_LINK_PROMPT, ZINTREL_OPEN_LINK_ADDRESS, IDOK, IDCANCEL}) {
        SendDlgItemMessageW(dialog, control, WM_SETFONT, reinterpret_cast<WPARAM>(question->font), FALSE);
      }
      SendDlgItemMessageW(dialog, ZINTREL_OPEN_LINK_ADDRESS, EM_SETSEL, 0, -1);
      SetFocus(GetDlgItem(dialog, ZINTREL_OPEN_LINK_ADDRESS));
      return FALSE;  // The focus is set.
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        HWND edit = GetDlgItem(dialog, ZINTREL_OPEN_LINK_ADDRESS);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        question->answer = text;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (question != nullptr && question->font != nullptr) DeleteObject(question->font);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::wstring AskForLink(HWND owner, const std::wstring& proposed) {
  LinkQuestion question{proposed, {}, nullptr};
  // The dialog disables only its owner; the settings window would still
  // take clicks, drops and closing behind it.
  const ModalScope behind(owner);
  const INT_PTR answer = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ZINTREL_OPEN_LINK_DIALOG), owner,
                                         LinkDialogProc, reinterpret_cast<LPARAM>(&question));
  return answer == IDOK ? question.answer : std::wstring();
}

}  // namespace zintrel
