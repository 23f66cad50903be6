#include <cstdio>

#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "document/bmp_writer.h"
#include "document/display_image.h"
#include "document/texts.h"
#include "resources/resource.h"
#include "shell/shell.h"
#include "shell/shell_texts.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

char path[256];

void Vectorize(HWND window, int emitPrevious) {
  SetStatusText(kStatusComputing);
  const bool hadPicture = app.grayRaster != nullptr;
  const int report = RunVectorization(emitPrevious);
  BuildDisplayImage(window);
  SetStatusText(kStatusReady);
  if (hadPicture && (report & kTraceNoStart))
    MessageBoxA(window, kTextNoLineEnd, kCaptionWarning, MB_OK);
  if (report & kTraceChainCut) MessageBoxA(window, kTextChainCut, kCaptionWarning, MB_OK);
  if (report & kSimplifyPointsCut) MessageBoxA(window, kTextPointsCut, kCaptionWarning, MB_OK);
}

}  // namespace

bool RunCommand(HWND window, WORD id) {
  switch (id) {
    case IDM_LOAD:
      SetStatusText(kStatusLoading);
      if (!ChooseOpenFile(window, path, sizeof path, kBmpFilter)) break;
      LoadBmp(path, window);
      FitWindowToImage(window);
      SetStatusText(kStatusReady);
      InvalidateRect(window, nullptr, TRUE);
      break;
    case IDM_SAVE:
      SetStatusText(kStatusSaving);
      if (!app.fileImage) {
        MessageBoxA(window, kTextNothingToSave, "", MB_OK);
        return false;
      }
      if (!ChooseSaveFile(window, path, sizeof path, kBmpFilter)) break;
      SaveBmp(path, window);
      SetStatusText(kStatusReady);
      break;
    case IDM_PREFERENCES:
      SetStatusText(kStatusPreferences);
      DialogBoxParamA(static_cast<HINSTANCE>(app.instance), MAKEINTRESOURCEA(IDD_PREFERENCES),
                      window, PreferencesDialogProc, 0);
      SetStatusText(kStatusReady);
      break;
    case IDM_EXIT:
      PostQuitMessage(0);
      break;
    case IDM_COMPUTE:
      Vectorize(window, 1);
      break;
    case IDM_COMPUTE_BREAKPOINT:
      Vectorize(window, 0);
      break;
    case IDM_TOGGLE_LINES:
      CheckMenuItem(GetMenu(window), IDM_TOGGLE_LINES,
                    MF_BYCOMMAND | (app.showLines ? MF_UNCHECKED : MF_CHECKED));
      app.showLines = !app.showLines;
      InvalidateRect(window, nullptr, FALSE);
      break;
    case IDM_ABOUT:
      std::snprintf(path, sizeof path, kAboutFormat, app.chainLength, app.criticalCount);
      MessageBoxA(window, path, kCaptionAbout, MB_OK);
      break;
    default:
      break;
  }
  return true;
}
