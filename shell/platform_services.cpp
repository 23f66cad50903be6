// The window-system services the document code asks for, on Win32.
#include <windows.h>

#include "document/app_state.h"
#include "document/platform_seam.h"

void ShowMessage(void* ownerWindow, const char* text, const char* caption) {
  MessageBoxA(static_cast<HWND>(ownerWindow), text, caption, MB_OK);
}

void RequestQuit(int exitCode) {
  PostQuitMessage(exitCode);
}

void PresentDisplayImage(void* ownerWindow) {
  HWND window = static_cast<HWND>(ownerWindow);
  HDC screen = GetDC(window);
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(app.fileImage);
  HBITMAP bitmap =
      CreateDIBitmap(screen, header, CBM_INIT, app.fileImage + kInfoHeaderSize,
                     reinterpret_cast<const BITMAPINFO*>(app.fileImage), DIB_RGB_COLORS);
  // A picture too large for a screen bitmap keeps the previous one on show.
  if (bitmap) {
    SelectObject(static_cast<HDC>(app.memoryDc), bitmap);
    if (app.displayBitmap) DeleteObject(static_cast<HBITMAP>(app.displayBitmap));
    app.displayBitmap = bitmap;
  }
  ReleaseDC(window, screen);
  InvalidateRect(window, nullptr, FALSE);
}

int ReplaceFileWith(const char* source, const char* destination) {
  return MoveFileExA(source, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1
                                                                                              : 0;
}
