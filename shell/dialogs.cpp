// windows.h comes first: the common-control headers need its types.
#include <windows.h>

#include <commdlg.h>

#include "document/app_state.h"
#include "document/texts.h"
#include "resources/resource.h"
#include "shell/shell.h"
#include "shell/shell_texts.h"

INT_PTR CALLBACK PreferencesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemInt(dialog, IDC_EPSILON, static_cast<UINT>(app.epsilon * 1000), FALSE);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          const UINT value = GetDlgItemInt(dialog, IDC_EPSILON, nullptr, FALSE);
          if (static_cast<int>(value) <= 0) {
            MessageBoxA(dialog, kTextEpsilonPositive, kCaptionEpsilon, MB_OK);
            return FALSE;
          }
          app.epsilon = value * 0.001;
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          SendMessageA(dialog, WM_CLOSE, 0, 0);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

namespace {

int RunChooser(HWND owner, char* buffer, DWORD bufferSize, const char* filter, bool save) {
  buffer[0] = '\0';
  char directory[256] = "";
  GetCurrentDirectoryA(sizeof directory, directory);
  OPENFILENAMEA chooser = {};
  chooser.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  chooser.hwndOwner = owner;
  chooser.lpstrFilter = filter;
  chooser.nFilterIndex = 1;
  chooser.lpstrFile = buffer;
  chooser.nMaxFile = bufferSize;
  chooser.lpstrInitialDir = directory;
  chooser.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | (save ? 0 : OFN_FILEMUSTEXIST);
  const BOOL chosen = save ? GetSaveFileNameA(&chooser) : GetOpenFileNameA(&chooser);
  // A chooser that failed, rather than being cancelled, says so.
  if (!chosen && CommDlgExtendedError() != 0) {
    MessageBoxA(owner, kTextChooserFailed, kCaptionWarning, MB_OK);
  }
  return chosen;
}

}  // namespace

int ChooseOpenFile(HWND owner, char* buffer, DWORD bufferSize, const char* filter) {
  return RunChooser(owner, buffer, bufferSize, filter, false);
}

int ChooseSaveFile(HWND owner, char* buffer, DWORD bufferSize, const char* filter) {
  return RunChooser(owner, buffer, bufferSize, filter, true);
}
