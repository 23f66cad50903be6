// Every format and layout that tests/make_pictures.py writes decodes to its
// expected luminance; every broken file is refused with a reason.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decode/orientation.h"
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

namespace {

// An EXIF block: a TIFF header in either byte order and a first directory
// of the given entries (tag, type, value).
std::vector<uint8_t> Exif(bool little, std::initializer_list<std::array<uint16_t, 3>> entries) {
  std::vector<uint8_t> b;
  const auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      b.push_back(static_cast<uint8_t>(little ? v >> (8 * i) : v >> (8 * (bytes - 1 - i))));
    }
  };
  b.push_back(little ? 'I' : 'M');
  b.push_back(little ? 'I' : 'M');
  put(42, 2);
  put(8, 4);
  put(static_cast<uint32_t>(entries.size()), 2);
  for (const auto& e : entries) {
    put(e[0], 2);
    put(e[1], 2);
    put(1, 4);
    put(e[2], 2);
    put(0, 2);
  }
  return b;
}

TEST(Decode, ExifOrientationInBothByteOrdersAndOneForAnythingElse) {
  for (bool little : {true, false}) {
    const std::vector<uint8_t> exif = Exif(little, {{0x010F, 2, 0}, {0x0112, 3, 6}});
    EXPECT_EQ(ExifOrientation(exif.data(), exif.size()), 6);
    // Cut anywhere before the orientation's value: as stored.
    for (size_t cut = 0; cut + 4 < exif.size(); ++cut) {
      EXPECT_EQ(ExifOrientation(exif.data(), cut), 1) << cut;
    }
  }
  const std::vector<uint8_t> none = Exif(true, {{0x010F, 2, 0}});
  EXPECT_EQ(ExifOrientation(none.data(), none.size()), 1);
  const std::vector<uint8_t> long_ = Exif(true, {{0x0112, 4, 6}});  // not a SHORT
  EXPECT_EQ(ExifOrientation(long_.data(), long_.size()), 1);
  const std::vector<uint8_t> nine = Exif(false, {{0x0112, 3, 9}});  // no such orientation
  EXPECT_EQ(ExifOrientation(nine.data(), nine.size()), 1);
  std::vector<uint8_t> far = Exif(true, {{0x0112, 3, 6}});
  far[4] = 0xF0, far[7] = 0x7F;  // the directory past the end
  EXPECT_EQ(ExifOrientation(far.data(), far.size()), 1);
}

TEST(Decode, QuarterTurnsAndMirrorsMoveEveryPixelWhereItIsShown) {
  // A 3 x 2 picture of distinct values, turned each way and back.
  const auto make = [] {
    GrayImage image;
    image.width = 3, image.height = 2;
    image.pixels.reset(new uint8_t[6]{1, 2, 3, 4, 5, 6});
    return image;
  };
  const std::vector<std::vector<uint8_t>> shown = {{},
                                                   {1, 2, 3, 4, 5, 6},
                                                   {3, 2, 1, 6, 5, 4},
                                                   {6, 5, 4, 3, 2, 1},
                                                   {4, 5, 6, 1, 2, 3},
                                                   {1, 4, 2, 5, 3, 6},
                                                   {4, 1, 5, 2, 6, 3},
                                                   {6, 3, 5, 2, 4, 1},
                                                   {3, 6, 2, 5, 1, 4}};
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    GrayImage image = make();
    ASSERT_TRUE(Orient(image, orientation));
    EXPECT_EQ(image.width, orientation >= 5 ? 2 : 3);
    EXPECT_EQ(std::vector<uint8_t>(image.pixels.get(), image.pixels.get() + 6), shown[orientation]);
  }
}

}  // namespace
