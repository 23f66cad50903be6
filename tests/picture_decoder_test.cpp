// Every format and layout that tests/make_pictures.py writes decodes to its
// expected luminance; every broken file is refused with a reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decode/picture_decoder.h"

namespace {

std::string Folder() {
  const char* folder = std::getenv("KWINDRA_PICTURES");
  return folder ? folder : "pictures";
}

struct Entry {
  std::string name;
  int width, height, tolerance;
};

std::vector<Entry> Manifest(const std::string& prefix) {
  std::ifstream list(Folder() + "/manifest.txt");
  std::vector<Entry> entries;
  Entry e;
  while (list >> e.name >> e.width >> e.height >> e.tolerance) {
    if (e.name.rfind(prefix, 0) == 0) entries.push_back(e);
  }
  return entries;
}

std::vector<uint8_t> Expected(const std::string& name) {
  std::ifstream file(Folder() + "/" + name + ".gray", std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

void ExpectLayouts(const std::string& prefix, const char* format, size_t atLeast) {
  const std::vector<Entry> entries = Manifest(prefix);
  ASSERT_GE(entries.size(), atLeast) << "pictures missing in " << Folder();
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    const DecodeResult result = DecodePictureFile(Folder() + "/" + e.name, {});
    ASSERT_EQ(result.status, DecodeStatus::kOk) << result.detail;
    EXPECT_STREQ(result.format, format);
    ASSERT_EQ(result.image.width, e.width);
    ASSERT_EQ(result.image.height, e.height);
    const std::vector<uint8_t> expected = Expected(e.name);
    ASSERT_EQ(expected.size(), result.image.PixelCount());
    int wrong = 0, worst = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
      const int difference = std::abs(int{result.image.pixels[i]} - int{expected[i]});
      worst = std::max(worst, difference);
      if (difference > e.tolerance && wrong++ < 3) {
        ADD_FAILURE() << "pixel (" << i % e.width << ", " << i / e.width
                      << "): " << int{result.image.pixels[i]} << " instead of " << int{expected[i]};
      }
    }
    EXPECT_LE(worst, e.tolerance);
  }
}

TEST(Decode, PngOfEveryDepthAndColourTypeInterlacedOrNot) {
  ExpectLayouts("png-", "PNG", 20);
}

TEST(Decode, BmpOfEveryCommonLayout) {
  ExpectLayouts("bmp-", "BMP", 20);
}

TEST(Decode, PlainAndRawPbmPgmPpm) {
  ExpectLayouts("pnm-", "PNM", 8);
}

TEST(Decode, TiffCompressionsPhotometricsAndTiles) {
  ExpectLayouts("tiff-", "TIFF", 14);
}

TEST(Decode, JpegBaselineProgressiveGrayAndCmyk) {
  ExpectLayouts("jpeg-", "JPEG", 4);
}

TEST(Decode, WebpLosslessLossyAndWithAlpha) {
  ExpectLayouts("webp-", "WebP", 3);
}

TEST(Decode, BrokenAndTruncatedFilesAreRefusedWithAReason) {
  std::ifstream list(Folder() + "/broken.txt");
  std::string name;
  int count = 0;
  while (list >> name) {
    SCOPED_TRACE(name);
    ++count;
    const DecodeResult result = DecodePictureFile(Folder() + "/" + name, {});
    EXPECT_NE(result.status, DecodeStatus::kOk);
    EXPECT_FALSE(result.image.pixels);
    if (result.status == DecodeStatus::kDamaged) {
      EXPECT_FALSE(result.detail.empty());
    }
  }
  EXPECT_GE(count, 20);
}

TEST(Decode, MissingFileAndFolderCannotBeOpened) {
  EXPECT_EQ(DecodePictureFile(Folder() + "/no-such-file.png", {}).status,
            DecodeStatus::kCannotOpen);
  EXPECT_EQ(DecodePictureFile(Folder(), {}).status, DecodeStatus::kCannotOpen);
}

// The limit is checked on the declared size, before the picture's memory
// is asked for: a header claiming 4 gigapixels is refused at once.
TEST(Decode, SizeLimitRefusesBeforeTheBigAllocation) {
  const std::string path = ::testing::TempDir() + "/huge.pgm";
  std::ofstream(path, std::ios::binary) << "P5\n65536 65536\n255\n";
  DecodeResult result = DecodePictureFile(path, {});
  EXPECT_EQ(result.status, DecodeStatus::kTooLarge);
  EXPECT_EQ(result.width, 65536u);
  EXPECT_EQ(result.height, 65536u);
  std::ofstream(path, std::ios::binary) << "P5\n4 3\n255\nabcdefghijkl";
  EXPECT_EQ(DecodePictureFile(path, {.maxPixels = 11}).status, DecodeStatus::kTooLarge);
  EXPECT_EQ(DecodePictureFile(path, {.maxPixels = 12}).status, DecodeStatus::kOk);
}

}  // namespace
