#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "document/texts.h"
#include "tests/document_fixture.h"

// Every class of bad BMP the reader meets, each with what must become of it:
// read (and read right), refused with its message, or ignored without a
// word. After each one that is not read, the previous picture is intact.
namespace {

const char* const kRead = "read";
const char* const kIgnored = "ignored";

struct HostileFile {
  const char* name;
  std::function<void(BmpLayout&)> layout;
  std::function<void(Bytes&)> damage;
  const char* outcome;  // kRead, kIgnored or the message shown
};

Rgb Colour(int x, int y) {
  return Rgb{static_cast<unsigned char>(40 + 50 * x), static_cast<unsigned char>(70 * y), 5};
}

BmpLayout Picture() {
  BmpLayout layout;
  layout.width = 3;
  layout.height = 2;
  return layout;
}

auto Layout(std::function<void(BmpLayout&)> change) {
  return change;
}

auto Field(size_t offset, uint64_t value, int size = 4) {
  return [=](Bytes& b) { PutLe(b, offset, value, size); };
}

// Width and height fields both overwritten.
auto Size(uint32_t width, uint32_t height) {
  return [=](Bytes& b) {
    PutLe(b, 18, width, 4);
    PutLe(b, 22, height, 4);
  };
}

const auto kAsMade = [](BmpLayout&) {};
const auto kIntact = [](Bytes&) {};

std::vector<HostileFile> Table() {
  std::vector<HostileFile> table;
  const auto add = [&](const char* name, std::function<void(BmpLayout&)> layout,
                       std::function<void(Bytes&)> damage, const char* outcome) {
    table.push_back({name, layout, damage, outcome});
  };
  // Bit depths, compressions and palettes other than plain 24-bit colour.
  for (const uint16_t bits : {0, 1, 4, 8, 16, 32, 64, 0xffff}) {
    add("bit depth", Layout([=](BmpLayout& l) { l.bitCount = bits; }), kIntact, kTextOnly24Bit);
  }
  for (const uint32_t compression : {1u, 2u, 3u, 4u, 5u, 6u, 11u, 0xffffffffu}) {
    add("compression", Layout([=](BmpLayout& l) { l.compression = compression; }), kIntact,
        kTextOnly24Bit);
  }
  for (const uint32_t colours : {1u, 2u, 256u, 0xffffffffu}) {
    add("palette count", Layout([=](BmpLayout& l) { l.colorsUsed = colours; }), kIntact,
        kTextOnly24Bit);
  }
  // Info header sizes: the 40-byte one and its longer successors are read,
  // the OS/2 forms and absurd sizes are not.
  for (const uint32_t size : {0u, 12u, 16u, 39u}) {
    add("short info header", kAsMade, Field(14, size), kTextDamagedBmp);
  }
  for (const uint32_t size : {40u, 41u, 52u, 56u, 64u, 108u, 124u, 200u}) {
    add("info header", Layout([=](BmpLayout& l) { l.infoSize = size; }), kIntact, kRead);
  }
  for (const uint32_t size : {0x10000000u, 0xffffffffu}) {
    add("absurd info header", kAsMade, Field(14, size), kTextDamagedBmp);
  }
  // Sizes.
  for (const uint32_t width : {0u, 0xffffffffu, 0xfffffffdu, 0x80000000u, 0x7fffffffu}) {
    add("width", kAsMade, Field(18, width), kTextDamagedBmp);
  }
  for (const uint32_t height : {0u, 0x80000000u, 0x7fffffffu, 0x80000001u, 0xfffffffdu}) {
    add("height", kAsMade, Field(22, height), kTextDamagedBmp);
  }
  add("width x height past 32 bits", kAsMade, Size(65536, 65537), kTextDamagedBmp);
  // The largest sizes the fields can hold: rows of about 2^63 bytes, which
  // 64-bit arithmetic still holds (no size can overflow it).
  add("largest width and height", kAsMade, Size(0x7fffffff, 0x7fffffff), kTextDamagedBmp);
  add("largest width, top-down", kAsMade, Size(0x7fffffff, 0x80000001u), kTextDamagedBmp);
  // The total size field lying either way, and the pixel offset.
  add("total size one short", Layout([](BmpLayout& l) { l.totalSizeDelta = -1; }), kIntact,
      kTextDamagedBmp);
  add("total size 0", kAsMade, Field(2, 0), kTextDamagedBmp);
  add("total size past the end", Layout([](BmpLayout& l) { l.totalSizeDelta = 1000; }), kIntact,
      kRead);
  add("total size largest", kAsMade, Field(2, 0xffffffffu), kRead);
  for (const uint32_t offset : {0u, 20u, 53u}) {
    add("pixel offset inside the headers", kAsMade, Field(10, offset), kTextDamagedBmp);
  }
  for (const uint32_t offset : {55u, 0xfffffff0u, 0xffffffffu}) {
    add("pixel offset leaving too few bytes", kAsMade, Field(10, offset), kTextDamagedBmp);
  }
  // Fields the reader does not need.
  add("planes 0", kAsMade, Field(26, 0, 2), kRead);
  add("image size 0", kAsMade, Field(34, 0), kRead);
  add("image size largest", kAsMade, Field(34, 0xffffffffu), kRead);
  add(
      "resolution and important colours garbage", kAsMade,
      [](Bytes& b) {
        PutLe(b, 38, 0xdeadbeef, 4);
        PutLe(b, 42, 0xffffffff, 4);
        PutLe(b, 50, 77, 4);
      },
      kRead);
  add("top-down", Layout([](BmpLayout& l) { l.topDown = true; }), kIntact, kRead);
  // Not a BMP at all.
  for (const char* signature : {"BA", "MB", "bm", "\0\0"}) {
    add(
        "signature", kAsMade, [=](Bytes& b) { b[0] = signature[0], b[1] = signature[1]; },
        kIgnored);
  }
  add(
      "empty file", kAsMade, [](Bytes& b) { b.clear(); }, kIgnored);
  add(
      "one byte", kAsMade, [](Bytes& b) { b.resize(1); }, kIgnored);
  add(
      "rows missing", kAsMade, [](Bytes& b) { b.resize(54); }, kTextDamagedBmp);
  add(
      "last byte missing", kAsMade, [](Bytes& b) { b.pop_back(); }, kTextDamagedBmp);
  return table;
}

TEST_F(DocumentTest, HostileFilesAreReadRefusedOrIgnoredAsTheTableSays) {
  const std::vector<HostileFile> table = Table();
  ASSERT_EQ(Load(MakeBmp(Picture(), Colour), "expected.bmp"), 1);
  const Bytes readRight(app.grayRaster, app.grayRaster + 6);
  ResetDocument();
  ASSERT_EQ(Load(MakeLinePicture(6, 5, {{1, 1}, {2, 2}}), "previous.bmp"), 1);
  const Bytes previous = Snapshot();
  int row = 0;
  for (const HostileFile& entry : table) {
    SCOPED_TRACE(std::to_string(row++) + ": " + entry.name);
    ClearRecordings();
    BmpLayout layout = Picture();
    entry.layout(layout);
    Bytes file = MakeBmp(layout, Colour);
    entry.damage(file);
    const int result = Load(file);
    EXPECT_TRUE(recordedQuits.empty());
    if (entry.outcome == kRead) {
      ASSERT_EQ(result, 1);
      EXPECT_TRUE(recordedMessages.empty());
      EXPECT_EQ(app.imageWidth, 3);
      EXPECT_EQ(app.imageHeight, 2);
      EXPECT_EQ(Bytes(app.grayRaster, app.grayRaster + 6), readRight);
      EXPECT_EQ(presentCount, 1);
      ResetDocument();
      ASSERT_EQ(Load(MakeLinePicture(6, 5, {{1, 1}, {2, 2}}), "previous.bmp"), 1);
      continue;
    }
    EXPECT_EQ(result, 0);
    if (entry.outcome == kIgnored) {
      EXPECT_TRUE(recordedMessages.empty());
    } else {
      ASSERT_EQ(recordedMessages.size(), 1u);
      EXPECT_EQ(recordedMessages[0].text, entry.outcome);
      EXPECT_EQ(recordedMessages[0].caption, kCaptionWarning);
    }
    EXPECT_EQ(presentCount, 0);
    EXPECT_EQ(Snapshot(), previous);
  }
  EXPECT_EQ(table.size(), 70u);
}

// Cutting a file anywhere, in the plain layout and in the longest header with
// top-down rows: shorter than two bytes is no BMP; anything else is damaged.
TEST_F(DocumentTest, EveryTruncationIsRefusedOrIgnored) {
  ASSERT_EQ(Load(MakeLinePicture(4, 4, {{1, 1}}), "previous.bmp"), 1);
  const Bytes previous = Snapshot();
  BmpLayout v5 = Picture();
  v5.infoSize = 124;
  v5.topDown = true;
  for (const Bytes& file : {MakeLinePicture(5, 3, {{0, 0}, {4, 2}}), MakeBmp(v5, Colour)}) {
    for (size_t length = 0; length < file.size(); ++length) {
      SCOPED_TRACE(length);
      ClearRecordings();
      EXPECT_EQ(Load(Bytes(file.begin(), file.begin() + length)), 0);
      ASSERT_EQ(recordedMessages.size(), length < 2 ? 0u : 1u);
      if (length >= 2) {
        EXPECT_EQ(recordedMessages[0].text, kTextDamagedBmp);
      }
      EXPECT_EQ(Snapshot(), previous);
    }
  }
}

TEST_F(DocumentTest, NoFileOrAFolderIsIgnored) {
  ASSERT_EQ(Load(MakeLinePicture(4, 4, {{1, 1}}), "previous.bmp"), 1);
  const Bytes previous = Snapshot();
  const std::string folder = TempPath("a-folder");
  std::filesystem::create_directories(folder);
  for (const std::string& path : {TempPath("missing.bmp"), folder}) {
    EXPECT_EQ(LoadBmp(path.c_str(), nullptr), 0) << path;
  }
  EXPECT_TRUE(recordedMessages.empty());
  EXPECT_EQ(Snapshot(), previous);
}

}  // namespace
