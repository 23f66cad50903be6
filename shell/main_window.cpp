// windows.h comes first: the common-control headers need its types.
#include <windows.h>

#include <commctrl.h>

#include "document/app_state.h"
#include "resources/resource.h"
#include "shell/shell.h"

void SetStatusText(const char* text) {
  SendMessageA(static_cast<HWND>(app.statusBar), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void FitWindowToImage(HWND window) {
  RECT client, frame;
  GetClientRect(window, &client);
  GetWindowRect(window, &frame);
  const int frameWidth = (frame.right - frame.left) - (client.right - client.left);
  const int frameHeight = (frame.bottom - frame.top) - (client.bottom - client.top);
  SetWindowPos(window, nullptr, 0, 0, app.imageWidth + frameWidth,
               app.imageHeight + frameHeight + STATUS_BAR_HEIGHT, SWP_NOMOVE);
  GetClientRect(window, &client);
  MoveWindow(static_cast<HWND>(app.statusBar), 0, client.bottom - STATUS_BAR_HEIGHT,
             app.imageWidth + frameWidth, 20, TRUE);
  app.clientWidth = app.imageWidth;
  app.clientHeight = app.imageHeight + STATUS_BAR_HEIGHT;
}

namespace {

void CreateDrawingSurface(HWND window) {
  HDC screen = GetDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, app.imageWidth, app.imageHeight);
  HDC memory = CreateCompatibleDC(screen);
  app.displayBitmap = bitmap;
  app.memoryDc = memory;
  SelectObject(memory, bitmap);
  PatBlt(memory, 0, 0, app.imageWidth, app.imageHeight, WHITENESS);
  ReleaseDC(window, screen);
}

void ReleaseDrawingSurface() {
  if (app.memoryDc) DeleteDC(static_cast<HDC>(app.memoryDc));
  if (app.displayBitmap) DeleteObject(static_cast<HBITMAP>(app.displayBitmap));
  app.memoryDc = nullptr;
  app.displayBitmap = nullptr;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateDrawingSurface(window);
      app.statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, kStatusReady, window, 1);
      FitWindowToImage(window);
      return 0;
    case WM_SIZE:
      app.clientWidth = LOWORD(lParam);
      app.clientHeight = HIWORD(lParam);
      MoveWindow(static_cast<HWND>(app.statusBar), 0, app.clientHeight - STATUS_BAR_HEIGHT,
                 app.clientWidth, STATUS_BAR_HEIGHT, TRUE);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      PaintView(window);
      return 0;
    case WM_CLOSE:
      ReleaseDrawingSurface();
      ReleaseDocument();
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      if (!RunCommand(window, LOWORD(wParam))) return 0;
      return DefWindowProcA(window, message, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
  windowClass.lpszClassName = kClassName;
  return RegisterClassA(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance) {
  app.instance = instance;
  app.imageWidth = kFirstImageWidth;
  app.imageHeight = kFirstImageHeight;
  return CreateWindowExA(0, kClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, kFirstImageWidth, kFirstImageHeight, nullptr, nullptr,
                         instance, nullptr);
}
