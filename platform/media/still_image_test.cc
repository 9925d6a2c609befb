#include "platform/media/still_image.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/jpeg_fixtures.h"

namespace platform::media {
namespace {

using test_support::TemporaryFolder;
using test_support::writeFile;

TEST(DecodeStillImage, DecodesAJpegToRgbRowsTopFirst) {
  const Result<Image> image = decodeStillImage(std::string(TEST_FIXTURES_DIR) + "/tiny.jpg");
  ASSERT_TRUE(image.ok()) << image.error().description;
  EXPECT_EQ(image.value().width, 32);
  EXPECT_EQ(image.value().height, 22);
  EXPECT_EQ(image.value().rgb.size(), 32u * 22u * 3u);
}

// Encodes a 16 x 16 picture, black on top and white below, with the given pixel layout.
std::string blackOverWhite(int pixelFormat, int subsampling, int flags) {
  const int channels = tjPixelSize[pixelFormat];
  std::vector<unsigned char> pixels(16 * 16 * channels);
  for (int y = 0; y < 16; ++y) {
    for (int i = 0; i < 16 * channels; ++i) {
      const bool white = y >= 8;
      // In Adobe's inverted CMYK, 255 means no ink; black is all ink but K carries it.
      unsigned char value = white ? 255 : 0;
      if (pixelFormat == TJPF_CMYK) value = (i % 4 == 3) ? value : 255;
      pixels[y * 16 * channels + i] = value;
    }
  }
  tjhandle compressor = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjCompress2(compressor, pixels.data(), 16, 0, 16, pixelFormat, &jpeg, &size, subsampling, 95, flags), 0)
      << tjGetErrorStr2(compressor);
  std::string bytes(reinterpret_cast<char*>(jpeg), size);
  tjFree(jpeg);
  tjDestroy(compressor);
  return bytes;
}

TEST(DecodeStillImage, DecodesGreyProgressiveAndCmykPictures) {
  TemporaryFolder folder;
  const struct {
    const char* name;
    int pixelFormat, subsampling, flags;
  } cases[] = {
      {"grey.jpg", TJPF_GRAY, TJSAMP_GRAY, 0},
      {"progressive.jpg", TJPF_RGB, TJSAMP_420, TJFLAG_PROGRESSIVE},
      {"cmyk.jpg", TJPF_CMYK, TJSAMP_444, 0},
  };
  for (const auto& c : cases) {
    writeFile(folder / c.name, blackOverWhite(c.pixelFormat, c.subsampling, c.flags));
    const Result<Image> image = decodeStillImage(folder / c.name);
    ASSERT_TRUE(image.ok()) << c.name << ": " << image.error().description;
    const Image& picture = image.value();
    ASSERT_EQ(picture.width, 16);
    ASSERT_EQ(picture.height, 16);
    for (int channel = 0; channel < 3; ++channel) {
      EXPECT_LT(picture.rgb[channel], 20) << c.name;                 // top-left dark
      EXPECT_GT(picture.rgb[15 * 16 * 3 + channel], 235) << c.name;  // bottom-left light
    }
  }
}

// TurboJPEG's own decoding, as the decoder gave it before it moved to the libjpeg interface.
std::vector<uint8_t> turboJpegPixels(const std::string& jpeg) {
  tjhandle decompressor = tjInitDecompress();
  const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.data());
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  EXPECT_EQ(tjDecompressHeader3(decompressor, bytes, jpeg.size(), &width, &height, &subsampling, &colourspace), 0);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  EXPECT_EQ(tjDecompress2(decompressor, bytes, jpeg.size(), rgb.data(), width, 0, height, TJPF_RGB, TJFLAG_ACCURATEDCT),
            0);
  tjDestroy(decompressor);
  return rgb;
}

TEST(DecodeStillImage, GivesTheSamePixelsAsTurboJpeg) {
  TemporaryFolder folder;
  writeFile(folder / "grey.jpg", blackOverWhite(TJPF_GRAY, TJSAMP_GRAY, 0));
  writeFile(folder / "progressive.jpg", blackOverWhite(TJPF_RGB, TJSAMP_420, TJFLAG_PROGRESSIVE));
  writeFile(folder / "422.jpg", blackOverWhite(TJPF_RGB, TJSAMP_422, 0));
  for (const std::string& path :
       {std::string(TEST_FIXTURES_DIR) + "/tiny.jpg", std::string(TEST_FIXTURES_DIR) + "/people/coast_400x300.jpg",
        folder / "grey.jpg", folder / "progressive.jpg", folder / "422.jpg"}) {
    const Result<Image> image = decodeStillImage(path);
    ASSERT_TRUE(image.ok()) << image.error().description;
    EXPECT_EQ(image.value().rgb, turboJpegPixels(test_support::readFile(path))) << path;
  }
}

TEST(DecodeStillImage, ReportsEachKindOfFailureWithItsCode) {
  TemporaryFolder folder;
  const std::string jpeg = test_support::tinyJpeg();
  writeFile(folder / "text.jpg", "this is not a picture\n");
  writeFile(folder / "empty.jpg", "");
  writeFile(folder / "truncated.jpg", jpeg.substr(0, jpeg.size() / 2));
  writeFile(folder / "huge.jpg", test_support::withDeclaredSize(jpeg, 20000, 20000));
  writeFile(folder / "garbage.jpg", std::string("\xFF\xD8\xFF") + std::string(200, '\x55'));
  writeFile(folder / "cut_marked.jpg", test_support::cutWithEndMarker(jpeg));
  writeFile(folder / "stray_cut_marked.jpg", test_support::cutWithEndMarker(test_support::withStrayByte(jpeg)));
  writeFile(folder / "claims_more.jpg", test_support::withDeclaredSize(jpeg, 64, 44));
  writeFile(folder / "claims_10000.jpg", test_support::withDeclaredSize(jpeg, 10000, 10000));
  std::filesystem::create_directory(folder / "folder.jpg");

  const struct {
    std::string name;
    StillImageError code;
  } cases[] = {
      {"missing.jpg", StillImageError::noSuchFile},
      {"folder.jpg", StillImageError::isAFolder},
      {"empty.jpg", StillImageError::emptyFile},
      {"text.jpg", StillImageError::notAPicture},
      {"truncated.jpg", StillImageError::damaged},
      {"garbage.jpg", StillImageError::damaged},
      {"huge.jpg", StillImageError::tooLarge},
      // Image data that stops early, even where an end marker follows: the rows after it would
      // be made up.
      {"cut_marked.jpg", StillImageError::damaged},
      {"stray_cut_marked.jpg", StillImageError::damaged},
      {"claims_more.jpg", StillImageError::damaged},
      {"claims_10000.jpg", StillImageError::damaged},
  };
  for (const auto& c : cases) {
    const Result<Image> image = decodeStillImage(folder / c.name);
    ASSERT_FALSE(image.ok()) << c.name;
    EXPECT_EQ(image.error().domain, kImageDomain) << c.name;
    EXPECT_EQ(image.error().code, static_cast<int64_t>(c.code)) << c.name << ": " << image.error().description;
    EXPECT_NE(image.error().description.find(c.name), std::string::npos) << image.error().description;
  }
}

TEST(DecodeStillImage, AStrayByteBetweenHeaderSectionsLeavesThePictureAsItWas) {
  TemporaryFolder folder;
  writeFile(folder / "stray.jpg", test_support::withStrayByte(test_support::tinyJpeg()));
  const Result<Image> intact = decodeStillImage(std::string(TEST_FIXTURES_DIR) + "/tiny.jpg");
  const Result<Image> stray = decodeStillImage(folder / "stray.jpg");
  ASSERT_TRUE(intact.ok());
  ASSERT_TRUE(stray.ok()) << stray.error().description;
  EXPECT_EQ(stray.value().width, 32);
  EXPECT_EQ(stray.value().height, 22);
  EXPECT_EQ(stray.value().rgb, intact.value().rgb);
}

TEST(DecodeStillImage, RefusesANamedPipeWithoutWaitingForAWriter) {
  TemporaryFolder folder;
  const std::string pipe = folder / "frame.jpg";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const Result<Image> decoded = decodeStillImage(pipe);  // used to block in open() for ever
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().code, static_cast<int64_t>(StillImageError::notAPicture));
  EXPECT_EQ(decoded.error().description, "The picture \"" + pipe + "\" could not be read: it is not a regular file.");
}

// The same picture with its first quantisation step one larger: a file of exactly the same size
// whose pixels decode differently.
std::string withOtherQuantisation(std::string jpeg) {
  const size_t table = jpeg.find("\xFF\xDB");
  if (table == std::string::npos) throw std::runtime_error("no quantisation table");
  jpeg[table + 5] = static_cast<char>(static_cast<unsigned char>(jpeg[table + 5]) + 1);
  return jpeg;
}

TEST(DecodeStillImage, AFileChangedInPlaceIsDecodedAfresh) {
  TemporaryFolder folder;
  const std::string path = folder / "frame.jpg";
  const std::string first = test_support::tinyJpeg();
  const std::string second = withOtherQuantisation(first);
  ASSERT_EQ(first.size(), second.size());

  writeFile(path, first);
  const Result<Image> before = decodeStillImage(path);
  ASSERT_TRUE(before.ok());
  const Result<Image> again = decodeStillImage(path);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.value().rgb, before.value().rgb);

  // Rewritten with the same size and its old modification time put back: still a new picture.
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  writeFile(path, second);
  const timespec times[2] = {info.st_atim, info.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const Result<Image> after = decodeStillImage(path);
  ASSERT_TRUE(after.ok());
  EXPECT_NE(after.value().rgb, before.value().rgb);

  // A file that has gone is an error, not the picture it used to hold.
  std::filesystem::remove(path);
  EXPECT_FALSE(decodeStillImage(path).ok());
}

TEST(DecodeStillImage, TwoThreadsDecodingAtOnceEachGetTheirOwnPicture) {
  const std::string files[2] = {std::string(TEST_FIXTURES_DIR) + "/tiny.jpg",
                                std::string(TEST_FIXTURES_DIR) + "/people/coast_400x300.jpg"};
  std::vector<uint8_t> expected[2];
  for (int i = 0; i < 2; ++i) {
    const Result<Image> image = decodeStillImage(files[i]);
    ASSERT_TRUE(image.ok()) << image.error().description;
    expected[i] = image.value().rgb;
  }
  ASSERT_NE(expected[0].size(), expected[1].size());

  std::atomic<int> wrong = 0;
  auto decodeInTurn = [&](int mine) {
    for (int round = 0; round < 30; ++round) {
      // Its own file twice in a row (the second time from the thread's last picture), then the
      // other thread's file.
      for (const int which : {mine, mine, 1 - mine}) {
        const Result<Image> image = decodeStillImage(files[which]);
        if (!image.ok() || image.value().rgb != expected[which]) ++wrong;
      }
    }
  };
  std::thread first(decodeInTurn, 0);
  std::thread second(decodeInTurn, 1);
  first.join();
  second.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace platform::media
