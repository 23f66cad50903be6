#include "document/app_state.h"

#include "document/allocation.h"

AppState app;

void ReleaseDocument() {
  FreeBytes(app.fileImage);
  app.fileImage = nullptr;
  app.fileImageSize = 0;
  FreeBytes(app.grayRaster);
  app.grayRaster = nullptr;
}

void ResetDocument() {
  ReleaseDocument();
  app.epsilon = 1.0;
  app.instance = app.statusBar = app.memoryDc = app.displayBitmap = nullptr;
  app.clientWidth = app.clientHeight = 0;
  app.imageWidth = kFirstImageWidth;
  app.imageHeight = kFirstImageHeight;
  app.showLines = 0;
  app.chainStart = {0, 0};
  app.chainLength = 0;
  app.criticalCount = 0;
}
