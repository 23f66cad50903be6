#pragma once

#include <gtest/gtest.h>

#include <string>

#include "document/allocation.h"
#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "tests/bmp_files.h"
#include "tests/recording_seam.h"

// A fresh document for each test, with helpers to load bytes as a file and
// to take the document's state for comparing before and after.
class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDocument();
    ClearRecordings();
    allocationsBeforeFailure = -1;
  }
  void TearDown() override {
    allocationsBeforeFailure = -1;
    ResetDocument();
  }

  int Load(const Bytes& bytes, const std::string& name = "in.bmp") {
    const std::string path = TempPath(name);
    WriteBytes(path, bytes);
    return LoadBmp(path.c_str(), nullptr);
  }

  uint8_t Gray(int x, int y) { return app.grayRaster[y * app.imageWidth + x]; }

  // The document as it stands, to compare before and after a refusal.
  Bytes Snapshot() {
    Bytes s(app.fileImage, app.fileImage + app.fileImageSize);
    s.insert(s.end(), app.grayRaster, app.grayRaster + app.imageWidth * app.imageHeight);
    PutLe(s, 0, app.imageWidth, 4);
    PutLe(s, 4, app.imageHeight, 4);
    return s;
  }
};
