#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "document/allocation.h"
#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "document/bmp_writer.h"
#include "document/display_image.h"
#include "document/texts.h"
#include "tests/bmp_files.h"
#include "tests/document_fixture.h"
#include "tests/recording_seam.h"

namespace {

TEST(DocumentState, StartsWithTheDocumentedValues) {
  ResetDocument();
  EXPECT_EQ(app.imageWidth, 640);
  EXPECT_EQ(app.imageHeight, 480);
  EXPECT_EQ(app.epsilon, 1.0);
  EXPECT_EQ(app.showLines, 0);
  EXPECT_EQ(app.chainLength, 0);
  EXPECT_EQ(app.criticalCount, 0);
  EXPECT_EQ(app.fileImage, nullptr);
  EXPECT_EQ(app.grayRaster, nullptr);
}

TEST(DocumentState, ReverseCodesUndoTheirSteps) {
  for (ChainCode c = 1; c <= 8; ++c) {
    const ChainCode r = ReverseCode(c);
    EXPECT_EQ(ReverseCode(r), c);
    EXPECT_EQ(kStepX[c] + kStepX[r], 0) << c;
    EXPECT_EQ(kStepY[c] + kStepY[r], 0) << c;
    EXPECT_NE(kStepX[c] * kStepX[c] + kStepY[c] * kStepY[c], 0) << c;
  }
  EXPECT_EQ(ReverseCode(1), 5u);
  EXPECT_EQ(ReverseCode(8), 4u);
}

TEST(Texts, AreWindows1250Bytes) {
  EXPECT_STREQ(kTextOutOfMemory,
               "Brak pami\xea"
               "ci!");
  EXPECT_STREQ(kTextWriteError,
               "B\xb3\xb9"
               "d zapisu pliku!");
  EXPECT_STREQ(kTextNothingToDisplay, "Nie ma co wy\x9cwietla\xe6");
  EXPECT_STREQ(kTextOnly24Bit,
               "Niestety mo\xbf"
               "emy pobawi\xe6 si\xea tylko obrazkami w 24 bitowym kolorze");
}

TEST_F(DocumentTest, ReadsRowStridesOfNarrowPictures) {
  for (int width = 1; width <= 4; ++width) {
    SCOPED_TRACE(width);
    BmpLayout layout;
    layout.width = width;
    layout.height = 3;
    const Bytes file = MakeBmp(layout, [](int x, int y) {
      return Rgb{static_cast<unsigned char>(10 * x + y), static_cast<unsigned char>(50 + x),
                 static_cast<unsigned char>(200 - y)};
    });
    const size_t stride[] = {0, 4, 8, 12, 12};
    ASSERT_EQ(file.size(), 54 + 3 * stride[width]);
    ASSERT_EQ(Load(file), 1);
    EXPECT_EQ(app.imageWidth, width);
    EXPECT_EQ(app.imageHeight, 3);
    EXPECT_EQ(app.fileImageSize, file.size() - 14);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < width; ++x) {
        EXPECT_EQ(Gray(x, y), ((10 * x + y) + (50 + x) + (200 - y)) / 3) << x << "," << y;
      }
    }
  }
}

TEST_F(DocumentTest, KeepsAnOrdinaryFileByteForByteBeforeTheRebuild) {
  BmpLayout layout;
  layout.width = 5;
  layout.height = 2;
  Bytes file = MakeBmp(layout, [](int x, int) { return Rgb{1, 2, static_cast<unsigned char>(x)}; });
  file.push_back(0x77);  // trailing bytes that the total size counts
  PutLe(file, 2, file.size(), 4);
  PutLe(file, 38, 2835, 4);
  const std::string path = TempPath("ordinary.bmp");
  WriteBytes(path, file);
  // Remember the bytes the reader must keep before the rendition overwrites the rows.
  ASSERT_EQ(LoadBmp(path.c_str(), nullptr), 1);
  ASSERT_EQ(app.fileImageSize, file.size() - 14);
  EXPECT_EQ(0, std::memcmp(app.fileImage, file.data() + 14, 40));
  EXPECT_EQ(app.fileImage[app.fileImageSize - 1], 0x77);
}

TEST_F(DocumentTest, BottomRowOfTheFileIsTheLastRasterRow) {
  BmpLayout layout;
  layout.width = 3;
  layout.height = 4;
  Bytes file = MakeBmp(layout, [](int, int) { return Rgb{0, 0, 0}; });
  file[54] = file[55] = file[56] = 90;  // the first pixel of the pixel data
  ASSERT_EQ(Load(file), 1);
  EXPECT_NE(Gray(0, 3), 0);
  int lit = 0;
  for (int i = 0; i < 12; ++i) lit += app.grayRaster[i] != 0;
  EXPECT_EQ(lit, 1);
}

TEST_F(DocumentTest, NearBlackPixelsAreBackgroundOnlyBelowMeanOne) {
  BmpLayout layout;
  layout.width = 4;
  const Rgb colours[] = {{1, 1, 0}, {1, 1, 1}, {3, 0, 0}, {0, 0, 0}};
  ASSERT_EQ(Load(MakeBmp(layout, [&](int x, int) { return colours[x]; })), 1);
  EXPECT_EQ(Gray(0, 0), 0);
  EXPECT_EQ(Gray(1, 0), 1);
  EXPECT_EQ(Gray(2, 0), 1);
  EXPECT_EQ(Gray(3, 0), 0);
}

TEST_F(DocumentTest, GrayIsTheExactChannelMeanForEverySum) {
  // 766 pixels whose channel sums run through 0..765.
  BmpLayout layout;
  layout.width = 766;
  ASSERT_EQ(Load(MakeBmp(layout,
                         [](int x, int) {
                           const int b = x < 255 ? x : 255, g = x - b < 255 ? x - b : 255,
                                     r = x - b - g;
                           return Rgb{static_cast<unsigned char>(b), static_cast<unsigned char>(g),
                                      static_cast<unsigned char>(r)};
                         })),
            1);
  for (int s = 0; s <= 765; ++s) ASSERT_EQ(Gray(s, 0), s / 3) << s;
}

// Large pictures are read, turned to gray and drawn a slice of rows at a
// time: every row must land in its place across the slice borders, in both
// row orders, with the fast row loops' tails at odd widths.
TEST_F(DocumentTest, LargePicturesAreReadSliceBySliceIntoTheRightRows) {
  for (const int width : {301, 1001}) {
    for (const bool topDown : {false, true}) {
      SCOPED_TRACE(std::to_string(width) + (topDown ? " top-down" : " bottom-up"));
      BmpLayout layout;
      layout.width = width;
      layout.height = 700;
      layout.topDown = topDown;
      const auto colour = [](int x, int y) {
        const bool line = (x * 7 + y * 3) % 11 == 0;
        return Rgb{static_cast<unsigned char>(line ? x % 256 : 0),
                   static_cast<unsigned char>(line ? y % 256 : 0),
                   static_cast<unsigned char>(line)};
      };
      ASSERT_EQ(Load(MakeBmp(layout, colour)), 1);
      ASSERT_EQ(app.imageHeight, 700);
      const uint64_t stride = RowStride(width);
      for (int y = 0; y < 700; ++y) {
        for (int x = 0; x < width; ++x) {
          const Rgb c = colour(x, y);
          ASSERT_EQ(Gray(x, y), (c.blue + c.green + c.red) / 3) << x << "," << y;
          const unsigned char* shown = app.fileImage + 40 + (699 - y) * stride + 3 * x;
          ASSERT_EQ(shown[0], 0);
          ASSERT_EQ(shown[1], Gray(x, y) ? 255 : 0) << x << "," << y;
          ASSERT_EQ(shown[2], 0);
        }
      }
    }
  }
}

TEST_F(DocumentTest, ReadsTopDownLargerHeadersAndOffsetRowsAsPlainFiles) {
  const auto colour = [](int x, int y) {
    return Rgb{static_cast<unsigned char>(x * 40), static_cast<unsigned char>(y * 60), 7};
  };
  BmpLayout plain;
  plain.width = 3;
  plain.height = 4;
  ASSERT_EQ(Load(MakeBmp(plain, colour), "plain.bmp"), 1);
  const Bytes expected = Snapshot();
  const Bytes expectedHeader(app.fileImage, app.fileImage + 40);

  struct Variant {
    const char* name;
    bool topDown;
    uint32_t infoSize;
    uint32_t gap;
  } variants[] = {{"top-down", true, 40, 0}, {"v3", false, 56, 0}, {"v4", false, 108, 0},
                  {"v5", true, 124, 0},      {"52", false, 52, 0}, {"gap", false, 40, 10}};
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    BmpLayout layout = plain;
    layout.topDown = v.topDown;
    layout.infoSize = v.infoSize;
    layout.gap = v.gap;
    ResetDocument();
    ASSERT_EQ(Load(MakeBmp(layout, colour), std::string(v.name) + ".bmp"), 1);
    EXPECT_EQ(Snapshot(), expected);
    EXPECT_EQ(GetLe(Bytes(app.fileImage, app.fileImage + 40), 0, 4), 40u);
    EXPECT_EQ(static_cast<int32_t>(GetLe(Bytes(app.fileImage, app.fileImage + 40), 8, 4)), 4);
  }
  (void)expectedHeader;
}

TEST_F(DocumentTest, IgnoresSilentlyWhatIsNoBmpFile) {
  EXPECT_EQ(LoadBmp(TempPath("missing.bmp").c_str(), nullptr), 0);
  Bytes notBmp = MakeLinePicture(4, 4, {{1, 1}});
  notBmp[0] = 'P';
  EXPECT_EQ(Load(notBmp), 0);
  EXPECT_EQ(Load(Bytes{'B'}), 0);
  EXPECT_EQ(Load(Bytes{}), 0);
  EXPECT_TRUE(recordedMessages.empty());
  EXPECT_EQ(app.fileImage, nullptr);
  EXPECT_EQ(app.imageWidth, 640);
}

TEST_F(DocumentTest, OutOfMemoryAsksToQuitAndKeepsThePreviousPicture) {
  ASSERT_EQ(Load(MakeLinePicture(4, 4, {{1, 1}}), "previous.bmp"), 1);
  const Bytes before = Snapshot();
  for (long succeeding : {0L, 1L}) {  // the file image, then the gray raster
    SCOPED_TRACE(succeeding);
    ClearRecordings();
    allocationsBeforeFailure = succeeding;
    EXPECT_EQ(Load(MakeLinePicture(7, 3, {{2, 2}})), 0);
    allocationsBeforeFailure = -1;
    ASSERT_EQ(recordedMessages.size(), 1u);
    EXPECT_EQ(recordedMessages[0].text, kTextOutOfMemory);
    EXPECT_EQ(recordedMessages[0].caption, "");
    EXPECT_EQ(recordedQuits, std::vector<int>{-1});
    EXPECT_EQ(Snapshot(), before);
  }
}

TEST_F(DocumentTest, RenditionIsGreenOnBlackWithMarksAtTheirOwnPixels) {
  ASSERT_EQ(Load(MakeLinePicture(5, 3, {{4, 0}, {1, 1}})), 1);
  EXPECT_EQ(presentCount, 1);
  const unsigned char* rows = app.fileImage + 40;
  for (int j = 0; j < 3; ++j) {
    for (int k = 0; k < 5; ++k) {
      const unsigned char* p = rows + j * 16 + 3 * k;
      const bool line = (k == 4 && j == 2) || (k == 1 && j == 1);
      EXPECT_EQ(p[0], 0);
      EXPECT_EQ(p[1], line ? 255 : 0);
      EXPECT_EQ(p[2], 0);
    }
  }
  app.criticalPoints[0] = {4, 0};
  app.criticalPoints[1] = {0, 2};
  app.criticalPoints[2] = {5, 0};   // outside: an earlier, wider picture's point
  app.criticalPoints[3] = {0, -1};  // outside
  app.criticalCount = 4;
  BuildDisplayImage(nullptr);
  Bytes once(app.fileImage, app.fileImage + app.fileImageSize);
  EXPECT_EQ(rows[46], 255);  // (4, 0): top row, last stored row
  EXPECT_EQ(rows[45], 255);  // still green under the mark: yellow
  EXPECT_EQ(rows[2], 255);   // (0, 2) on background: red
  int marked = 0;
  for (size_t i = 0; i < 48; ++i) marked += (i % 16) < 15 && i % 3 == 2 && rows[i] == 255;
  EXPECT_EQ(marked, 2);
  BuildDisplayImage(nullptr);
  EXPECT_EQ(Bytes(app.fileImage, app.fileImage + app.fileImageSize), once);
}

TEST_F(DocumentTest, RebuildWithoutAPictureOnlySaysSo) {
  BuildDisplayImage(nullptr);
  ASSERT_EQ(recordedMessages.size(), 1u);
  EXPECT_EQ(recordedMessages[0].text, kTextNothingToDisplay);
  EXPECT_EQ(recordedMessages[0].caption, kCaptionDisplay);
  EXPECT_EQ(presentCount, 0);
}

TEST_F(DocumentTest, SavesTheRenditionWithAFreshFileHeader) {
  const std::pair<int, size_t> cases[] = {{5, 102}, {4, 90}};
  for (const auto& [width, size] : cases) {
    SCOPED_TRACE(width);
    ASSERT_EQ(Load(MakeLinePicture(width, 3, {{0, 0}, {1, 0}, {2, 0}})), 1);
    const std::string out = TempPath("out.bmp");
    ASSERT_EQ(SaveBmp(out.c_str(), nullptr), 1);
    const Bytes saved = ReadBytes(out);
    ASSERT_EQ(saved.size(), size);
    EXPECT_EQ(saved[0], 'B');
    EXPECT_EQ(saved[1], 'M');
    EXPECT_EQ(GetLe(saved, 2, 4), size);
    EXPECT_EQ(GetLe(saved, 6, 4), 0u);
    EXPECT_EQ(GetLe(saved, 10, 4), 54u);
    EXPECT_EQ(0, std::memcmp(saved.data() + 14, app.fileImage, size - 14));
    EXPECT_FALSE(FileExists(out + ".zapis~"));
  }
}

TEST_F(DocumentTest, SaveLoadSaveIsByteIdenticalWithMarksOnLinePixels) {
  BmpLayout layout;
  layout.width = 7;
  layout.height = 5;
  layout.topDown = true;
  layout.infoSize = 124;
  ASSERT_EQ(Load(MakeBmp(layout,
                         [](int x, int y) {
                           return x == y ? Rgb{30, 40, 50} : Rgb{0, 0, 0};
                         })),
            1);
  app.criticalPoints[0] = {0, 0};
  app.criticalPoints[1] = {4, 4};
  app.criticalCount = 2;
  BuildDisplayImage(nullptr);
  const std::string first = TempPath("first.bmp"), second = TempPath("second.bmp");
  ASSERT_EQ(SaveBmp(first.c_str(), nullptr), 1);
  ASSERT_EQ(LoadBmp(first.c_str(), nullptr), 1);
  EXPECT_EQ(Gray(1, 1), 85);
  EXPECT_EQ(Gray(4, 4), 170);
  EXPECT_EQ(Gray(1, 0), 0);
  ASSERT_EQ(SaveBmp(second.c_str(), nullptr), 1);
  EXPECT_EQ(ReadBytes(first), ReadBytes(second));
}

TEST_F(DocumentTest, SavingNothingCreatesNoFile) {
  const std::string out = TempPath("nothing.bmp");
  std::remove(out.c_str());
  EXPECT_EQ(SaveBmp(out.c_str(), nullptr), 0);
  ASSERT_EQ(recordedMessages.size(), 1u);
  EXPECT_EQ(recordedMessages[0].text, kTextNothingToSave);
  EXPECT_EQ(recordedMessages[0].caption, "");
  EXPECT_FALSE(FileExists(out));
}

TEST_F(DocumentTest, AFailedSaveReportsAndLeavesTheOldFile) {
  ASSERT_EQ(Load(MakeLinePicture(4, 4, {{1, 1}})), 1);
  const std::string missingFolder = TempPath("no-such-folder") + "/out.bmp";
  EXPECT_EQ(SaveBmp(missingFolder.c_str(), nullptr), 0);
  ASSERT_EQ(recordedMessages.size(), 1u);
  EXPECT_EQ(recordedMessages[0].text, kTextWriteError);
  EXPECT_EQ(recordedMessages[0].caption, kCaptionError);
  EXPECT_FALSE(FileExists(missingFolder));
}

// A full disk: the failed write is reported and the device stays a device
// (it reads back as zeros, not as a picture); no temporary file is left.
TEST_F(DocumentTest, SavingToAFullDeviceReportsAndKeepsTheDevice) {
#ifdef _WIN32
  const char* full = "Z:\\dev\\full";  // /dev/full as Wine shows it
#else
  const char* full = "/dev/full";
#endif
  std::FILE* device = std::fopen(full, "rb");
  if (!device) GTEST_SKIP() << "no " << full << " here";
  std::fclose(device);
  ASSERT_EQ(Load(MakeLinePicture(40, 40, {{1, 1}})), 1);
  EXPECT_EQ(SaveBmp(full, nullptr), 0);
  ASSERT_EQ(recordedMessages.size(), 1u);
  EXPECT_EQ(recordedMessages[0].text, kTextWriteError);
  device = std::fopen(full, "rb");
  ASSERT_NE(device, nullptr);
  unsigned char start[2] = {1, 1};
  EXPECT_EQ(std::fread(start, 1, 2, device), 2u);
  std::fclose(device);
  EXPECT_EQ(start[0], 0);
  EXPECT_EQ(start[1], 0);
  EXPECT_FALSE(std::filesystem::exists(std::string(full) + ".zapis~"));
}

TEST_F(DocumentTest, SavingOverAReadOnlyFileOrAFolderReportsAndKeepsThem) {
  ASSERT_EQ(Load(MakeLinePicture(4, 4, {{1, 1}})), 1);
  const std::string folder = TempPath("folder.bmp");
  std::filesystem::create_directories(folder);
  EXPECT_EQ(SaveBmp(folder.c_str(), nullptr), 0);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  const std::string locked = TempPath("locked.bmp");
  WriteBytes(locked, Bytes{'o', 'l', 'd'});
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read,
                               std::filesystem::perm_options::replace);
  // The superuser may write read-only files: then there is nothing to refuse.
  std::FILE* probe = std::fopen(locked.c_str(), "ab");
  const bool writable = probe != nullptr;
  if (probe) std::fclose(probe);
  EXPECT_EQ(SaveBmp(locked.c_str(), nullptr), writable ? 1 : 0);
  if (!writable) {
    EXPECT_EQ(ReadBytes(locked), (Bytes{'o', 'l', 'd'}));
  }
  EXPECT_EQ(recordedMessages.size(), writable ? 1u : 2u);
  for (const auto& message : recordedMessages) EXPECT_EQ(message.text, kTextWriteError);
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
}

}  // namespace
