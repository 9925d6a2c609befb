// The person segmentation's qualities side by side: how well each mask's edges follow a picture
// whose mask is known (the webcam man laid over the coast, tests/support/person_outline.h), and
// milliseconds per frame on a 1280x720 frame, beside the bare model inference measured in the
// same run (the floor: what the models cost without scaling, refinement or steadying).
//
// Usage: segmentation_bench [--runs N] [--side PIXELS] [--radius R] [--epsilon E] [--carry C]
// The options change the accurate quality's settings (defaults: the platform's).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/media/pixel_buffer.h"
#include "platform/media/video_asset.h"
#include "platform/media/video_reader.h"
#include "platform/nn/shared_model.h"
#include "platform/vision/segmentation/selfie_segmenter.h"
#include "tests/support/person_outline.h"

namespace {

using namespace platform;
using namespace platform::vision;

std::shared_ptr<media::PixelBuffer> bgraOf(const media::Image& picture) {
  std::shared_ptr<media::PixelBuffer> frame =
      media::makePixelBuffer(media::PixelFormat::bgra8, picture.width, picture.height);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const uint8_t* rgb = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
      uint8_t* bgra = frame->row(y) + x * 4;
      bgra[0] = rgb[2], bgra[1] = rgb[1], bgra[2] = rgb[0], bgra[3] = 255;
    }
  }
  return frame;
}

// The picture stretched to width x height (nearest pixel: only the time matters here).
std::shared_ptr<media::PixelBuffer> stretchedFrame(const media::PixelBuffer& from, int width, int height) {
  std::shared_ptr<media::PixelBuffer> frame = media::makePixelBuffer(media::PixelFormat::bgra8, width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      std::memcpy(frame->row(y) + x * 4, from.row(y * from.height / height) + (x * from.width / width) * 4, 4);
  return frame;
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

template <typename Work>
double medianMilliseconds(int runs, Work work) {
  for (int i = 0; i < 3; ++i) work();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return median(times);
}

double modelMilliseconds(const char* file, int runs) {
  Result<nn::ModelPool*> pool = nn::sharedModel(file, nn::Threads::one);
  Result<nn::ModelPool::Lease> model = pool.ok() ? pool.value()->take() : Result<nn::ModelPool::Lease>(pool.error());
  if (!model.ok()) {
    std::fprintf(stderr, "%s\n", model.error().description.c_str());
    std::exit(1);
  }
  std::fill_n(model.value()->input(0), model.value()->inputShape(0).elementCount(), 0.5f);
  return medianMilliseconds(runs, [&] { (void)model.value().run(); });
}

const char* nameOf(MaskQuality quality) {
  return quality == MaskQuality::fast ? "fast" : quality == MaskQuality::balanced ? "balanced" : "accurate";
}

// The mean absolute change of the accurate mask from one frame of `clip` to the next.
double clipFlicker(const std::string& clip, const SelfieSegmenterSettings& settings) {
  Result<std::shared_ptr<media::VideoAsset>> asset = media::VideoAsset::open(clip);
  if (!asset.ok() || asset.value()->videoTracks().empty()) {
    std::fprintf(stderr, "cannot open %s\n", clip.c_str());
    std::exit(1);
  }
  Result<std::unique_ptr<media::VideoReader>> reader =
      media::makeVideoReader(asset.value(), asset.value()->videoTracks().front(), media::FrameOrientation::upright);
  if (!reader.ok() || !reader.value()->start().ok()) {
    std::fprintf(stderr, "cannot read %s\n", clip.c_str());
    std::exit(1);
  }
  std::unique_ptr<PersonSegmenter> segmenter = makeSelfieSegmenter(settings);
  std::vector<uint8_t> last;
  double change = 0;
  long counted = 0;
  for (;;) {
    Result<std::optional<media::VideoSample>> sample = reader.value()->nextSample();
    if (!sample.ok()) std::exit(1);
    if (!sample.value()) break;
    if (!sample.value()->picture) continue;
    Result<std::shared_ptr<media::PixelBuffer>> mask =
        segmenter->segment(sample.value()->picture->view(), MaskQuality::accurate);
    if (!mask.ok()) std::exit(1);
    const media::PixelBuffer& m = *mask.value();
    std::vector<uint8_t> now;
    for (int y = 0; y < m.height; ++y) now.insert(now.end(), m.row(y), m.row(y) + m.width);
    if (last.size() == now.size()) {
      for (size_t i = 0; i < now.size(); ++i) change += std::abs(int(now[i]) - int(last[i])) / 255.0;
      counted += static_cast<long>(now.size());
    }
    last = std::move(now);
  }
  return change / std::max(counted, 1L);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 31;
  int pictureWidth = 400;
  std::string clip = std::string(TEST_FIXTURES_DIR) + "/video/person.mp4";
  SelfieSegmenterSettings settings;
  for (int a = 1; a + 1 < argc; a += 2) {
    const char* option = argv[a];
    const char* value = argv[a + 1];
    if (std::strcmp(option, "--runs") == 0)
      runs = std::max(1, std::atoi(value));
    else if (std::strcmp(option, "--clip") == 0)
      clip = value;
    else if (std::strcmp(option, "--picture") == 0)
      pictureWidth = std::atoi(value) / 4 * 4;
    else if (std::strcmp(option, "--side") == 0)
      settings.refinedLongerSide = std::atoi(value);
    else if (std::strcmp(option, "--radius") == 0)
      settings.refinement.radius = std::atoi(value);
    else if (std::strcmp(option, "--epsilon") == 0)
      settings.refinement.epsilon = static_cast<float>(std::atof(value));
    else if (std::strcmp(option, "--subsample") == 0)
      settings.refinement.subsample = std::atoi(value);
    else if (std::strcmp(option, "--steepness") == 0)
      settings.refinement.steepness = static_cast<float>(std::atof(value));
    else if (std::strcmp(option, "--carry") == 0)
      settings.carry = static_cast<float>(std::atof(value));
    else {
      std::fprintf(stderr,
                   "usage: segmentation_bench [--runs N] [--side PIXELS] [--radius R] [--epsilon E] [--carry C]\n");
      return 2;
    }
  }

  const test_support::KnownMaskPicture known = test_support::webcamManOnTheCoast(pictureWidth, pictureWidth * 3 / 4);
  const std::shared_ptr<media::PixelBuffer> picture = bgraOf(known.picture);
  const std::shared_ptr<media::PixelBuffer> frame = stretchedFrame(*picture, 1280, 720);
  std::printf("accurate: refined at up to %d pixels, radius %d, epsilon %g, carry %g; median of %d runs, one thread\n",
              settings.refinedLongerSide, settings.refinement.radius, settings.refinement.epsilon, settings.carry,
              runs);
  std::printf("%-10s %9s %10s %11s %7s %12s %14s\n", "quality", "mask", "edge err", "whole err", "IoU", "ms 1280x720",
              "ms model only");

  const MaskQuality qualities[] = {MaskQuality::fast, MaskQuality::balanced, MaskQuality::accurate};
  for (MaskQuality quality : qualities) {
    // The edges: a fresh sequence, one frame of the picture whose mask is known.
    std::unique_ptr<PersonSegmenter> still = makeSelfieSegmenter(settings);
    Result<std::shared_ptr<media::PixelBuffer>> mask = still->segment(picture->view(), quality);
    if (!mask.ok()) {
      std::fprintf(stderr, "%s\n", mask.error().description.c_str());
      return 1;
    }
    const test_support::MaskError error = test_support::maskError(*mask.value(), known.truth, known.picture.width,
                                                                  known.picture.height, known.picture.width / 50);
    if (std::getenv("DUMP")) {
      std::string path = std::string(std::getenv("DUMP")) + "/" + nameOf(quality) + ".pgm";
      FILE* f = std::fopen(path.c_str(), "wb");
      std::fprintf(f, "P5 %d %d 255\n", mask.value()->width, mask.value()->height);
      for (int y = 0; y < mask.value()->height; ++y) std::fwrite(mask.value()->row(y), 1, mask.value()->width, f);
      std::fclose(f);
      if (quality == MaskQuality::fast) {
        f = std::fopen((std::string(std::getenv("DUMP")) + "/picture.ppm").c_str(), "wb");
        std::fprintf(f, "P6 %d %d 255\n", known.picture.width, known.picture.height);
        std::fwrite(known.picture.rgb.data(), 1, known.picture.rgb.size(), f);
        std::fclose(f);
        f = std::fopen((std::string(std::getenv("DUMP")) + "/truth.pgm").c_str(), "wb");
        std::fprintf(f, "P5 %d %d 255\n", known.picture.width, known.picture.height);
        for (float t : known.truth) std::fputc(int(t * 255 + 0.5f), f);
        std::fclose(f);
      }
    }

    // The time: a sequence of 1280x720 frames.
    std::unique_ptr<PersonSegmenter> sequence = makeSelfieSegmenter(settings);
    const double ms = medianMilliseconds(runs, [&] { (void)sequence->segment(frame->view(), quality); });
    const double floor = modelMilliseconds(
        quality == MaskQuality::fast ? "selfie_segmentation_landscape.tflite" : "selfie_segmentation.tflite", runs);
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", mask.value()->width, mask.value()->height);
    std::printf("%-10s %9s %10.4f %11.4f %7.4f %12.2f %14.2f\n", nameOf(quality), size, error.edge, error.whole,
                error.iou, ms, floor);
  }

  // Steadying: what it costs when the person moves (the man slides 3 pixels a frame over the
  // coast; the error against his true mask, frames 2 to 16) and what it gains on a real clip (the
  // mean change of the mask from one frame to the next, which on a person sitting at a webcam is
  // mostly flicker).
  std::printf("\naccurate over a sequence   %15s %22s\n", "edge err moving", "frame-to-frame change");
  for (float carry : {0.0f, settings.carry}) {
    SelfieSegmenterSettings steadied = settings;
    steadied.carry = carry;
    std::unique_ptr<PersonSegmenter> moving = makeSelfieSegmenter(steadied);
    double error = 0;
    int counted = 0;
    for (int frame = 0; frame < 16; ++frame) {
      const test_support::KnownMaskPicture known = test_support::webcamManOnTheCoast(400, 300, frame * 3 - 24);
      const std::shared_ptr<media::PixelBuffer> bgra = bgraOf(known.picture);
      Result<std::shared_ptr<media::PixelBuffer>> mask = moving->segment(bgra->view(), MaskQuality::accurate);
      if (!mask.ok()) return 1;
      if (frame >= 1) error += test_support::maskError(*mask.value(), known.truth, 400, 300, 8).edge, ++counted;
    }
    const double change = clipFlicker(clip, steadied);
    char label[48];
    std::snprintf(label, sizeof label, "carry %.2f", carry);
    std::printf("%-26s %15.4f %22.5f\n", label, error / counted, change);
  }
  return 0;
}
