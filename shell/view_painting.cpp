#include "document/app_state.h"
#include "shell/shell.h"

namespace {

POINT Scaled(Point p) {
  const int viewHeight = app.clientHeight - STATUS_BAR_HEIGHT;
  return {static_cast<LONG>(int64_t{p.x} * app.clientWidth / app.imageWidth),
          static_cast<LONG>(int64_t{p.y} * viewHeight / app.imageHeight)};
}

}  // namespace

void PaintView(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  // Or-ing the dropped rows keeps thin line pixels when the view shrinks.
  SetStretchBltMode(dc, WHITEONBLACK);
  StretchBlt(dc, 0, 0, app.clientWidth, app.clientHeight - STATUS_BAR_HEIGHT,
             static_cast<HDC>(app.memoryDc), 0, 0, app.imageWidth, app.imageHeight, SRCCOPY);
  if (app.showLines && app.criticalCount > 0) {
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ previous = SelectObject(dc, red);
    const POINT first = Scaled(app.criticalPoints[0]);
    MoveToEx(dc, first.x, first.y, nullptr);
    for (int n = 1; n < app.criticalCount; ++n) {
      const POINT p = Scaled(app.criticalPoints[n]);
      LineTo(dc, p.x, p.y);
    }
    for (int n = 0; n < app.criticalCount; ++n) {
      const POINT p = Scaled(app.criticalPoints[n]);
      SetPixel(dc, p.x, p.y, RGB(0, 0, 255));
    }
    SelectObject(dc, previous);
    DeleteObject(red);
  }
  EndPaint(window, &paint);
}
