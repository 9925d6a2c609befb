#include "tests/support/person_outline.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "platform/media/still_image.h"

namespace test_support {

const std::vector<OutlinePoint>& webcamOutline() {
  // Traced on the picture enlarged 4 times, clockwise from the bottom of the left shoulder.
  static const std::vector<OutlinePoint> outline = {
      // left shoulder up to the neck
      {74, 300},
      {84, 283},
      {91, 271},
      {99, 264},
      {110, 261},
      {130, 259},
      {150, 255},
      {167, 251},
      // neck and jaw, then the left ear
      {171, 240},
      {169, 227},
      {162, 216},
      {157, 206},
      {151, 201},
      {149, 191},
      {148, 181},
      {149, 172},
      {152, 167},
      // the side of the head and the hair
      {153, 145},
      {154, 126},
      {157, 111},
      {156, 96},
      {154, 91},
      {161, 87},
      {175, 83},
      {185, 82},
      {195, 80},
      {205, 80},
      {215, 83},
      {225, 88},
      {234, 94},
      {241, 102},
      {247, 112},
      {251, 122},
      {253, 132},
      {255, 145},
      {257, 160},
      {258, 167},
      // the right ear, jaw and neck
      {262, 172},
      {263, 181},
      {263, 190},
      {260, 199},
      {247, 202},
      {239, 216},
      {236, 230},
      {240, 247},
      // the collar and the right shoulder down to the bottom edge
      {254, 256},
      {268, 264},
      {280, 271},
      {300, 276},
      {320, 281},
      {331, 287},
      {341, 293},
      {348, 300},
  };
  return outline;
}

namespace {

// Even-odd rule: a ray to the right crosses the outline an odd number of times from inside.
bool inside(const std::vector<OutlinePoint>& outline, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
    const OutlinePoint& a = outline[i];
    const OutlinePoint& b = outline[j];
    if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y)) in = !in;
  }
  return in;
}

platform::media::Image load(const std::string& name) {
  platform::Result<platform::media::Image> image =
      platform::media::decodeStillImage(std::string(TEST_FIXTURES_DIR) + "/people/" + name);
  if (!image.ok()) throw std::runtime_error(image.error().description);
  return std::move(image.value());
}

}  // namespace

std::vector<float> outlineCoverage(const std::vector<OutlinePoint>& outline, int outlineWidth, int outlineHeight,
                                   int width, int height) {
  // 4 x 4 samples per pixel.
  const double sx = double(outlineWidth) / width, sy = double(outlineHeight) / height;
  std::vector<float> coverage(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int hits = 0;
      for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) hits += inside(outline, (x + (i + 0.5) / 4) * sx, (y + (j + 0.5) / 4) * sy);
      }
      coverage[static_cast<size_t>(y) * width + x] = hits / 16.0f;
    }
  }
  return coverage;
}

platform::media::Image composite(const platform::media::Image& person, const platform::media::Image& background,
                                 const std::vector<float>& coverage) {
  platform::media::Image out = background;
  for (size_t i = 0; i < coverage.size(); ++i) {
    for (size_t c = 0; c < 3; ++c) {
      const float mixed = coverage[i] * person.rgb[i * 3 + c] + (1.0f - coverage[i]) * background.rgb[i * 3 + c];
      out.rgb[i * 3 + c] = static_cast<uint8_t>(mixed + 0.5f);
    }
  }
  return out;
}

platform::media::Image stretched(const platform::media::Image& picture, int width, int height) {
  platform::media::Image out;
  out.width = width;
  out.height = height;
  out.rgb.resize(static_cast<size_t>(width) * height * 3);
  auto at = [&](int x, int y, int c) {
    x = std::clamp(x, 0, picture.width - 1);
    y = std::clamp(y, 0, picture.height - 1);
    return static_cast<double>(picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3 + c]);
  };
  for (int y = 0; y < height; ++y) {
    const double sy = (y + 0.5) * picture.height / height - 0.5;
    const int y0 = static_cast<int>(std::floor(sy));
    const double wy = sy - y0;
    for (int x = 0; x < width; ++x) {
      const double sx = (x + 0.5) * picture.width / width - 0.5;
      const int x0 = static_cast<int>(std::floor(sx));
      const double wx = sx - x0;
      for (int c = 0; c < 3; ++c) {
        const double top = at(x0, y0, c) * (1 - wx) + at(x0 + 1, y0, c) * wx;
        const double bottom = at(x0, y0 + 1, c) * (1 - wx) + at(x0 + 1, y0 + 1, c) * wx;
        out.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] =
            static_cast<uint8_t>(top * (1 - wy) + bottom * wy + 0.5);
      }
    }
  }
  return out;
}

KnownMaskPicture webcamManOnTheCoast(int width, int height, int shift) {
  platform::media::Image person = load("webcam_400x300.jpg");
  platform::media::Image coast = load("coast_400x300.jpg");
  if (person.width != 400 || person.height != 300 || coast.width != 400 || coast.height != 300) {
    throw std::runtime_error("the fixtures are not 400 x 300");
  }
  if (width != 400 || height != 300) {
    person = stretched(person, width, height);
    coast = stretched(coast, width, height);
  }
  std::vector<OutlinePoint> outline = webcamOutline();
  if (shift != 0) {
    for (OutlinePoint& point : outline) point.x += shift * 400.0 / width;
    platform::media::Image moved = person;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const int from = std::clamp(x - shift, 0, width - 1);
        std::copy_n(&person.rgb[(static_cast<size_t>(y) * width + from) * 3], 3,
                    &moved.rgb[(static_cast<size_t>(y) * width + x) * 3]);
      }
    }
    person = std::move(moved);
  }
  KnownMaskPicture known;
  known.truth = outlineCoverage(outline, 400, 300, width, height);
  known.picture = composite(person, coast, known.truth);
  return known;
}

MaskError maskError(const platform::media::PixelBuffer& mask, const std::vector<float>& truth, int width, int height,
                    int band) {
  // Sums of the truth over rectangles, from its integral picture: a pixel is on the edge when the
  // square of side 2 band + 1 around it holds both person and background.
  const size_t w1 = static_cast<size_t>(width) + 1;
  std::vector<double> integral(w1 * (static_cast<size_t>(height) + 1), 0.0);
  for (int y = 0; y < height; ++y) {
    double row = 0;
    for (int x = 0; x < width; ++x) {
      row += truth[static_cast<size_t>(y) * width + x];
      integral[(y + 1) * w1 + x + 1] = integral[y * w1 + x + 1] + row;
    }
  }
  MaskError error;
  double edgeSum = 0, wholeSum = 0, both = 0, either = 0;
  long edgeCount = 0, insideCount = 0, insidePerson = 0, outsideCount = 0, outsidePerson = 0;
  for (int y = 0; y < height; ++y) {
    const int y0 = std::max(0, y - band), y1 = std::min(height, y + band + 1);
    const double sy = std::clamp((y + 0.5) * mask.height / height - 0.5, 0.0, mask.height - 1.0);
    const int my = std::min(static_cast<int>(sy), std::max(mask.height - 2, 0));
    const double wy = mask.height > 1 ? sy - my : 0.0;
    for (int x = 0; x < width; ++x) {
      const int x0 = std::max(0, x - band), x1 = std::min(width, x + band + 1);
      const double window =
          integral[y1 * w1 + x1] - integral[y0 * w1 + x1] - integral[y1 * w1 + x0] + integral[y0 * w1 + x0];
      const double area = double(y1 - y0) * (x1 - x0);

      const double sx = std::clamp((x + 0.5) * mask.width / width - 0.5, 0.0, mask.width - 1.0);
      const int mx = std::min(static_cast<int>(sx), std::max(mask.width - 2, 0));
      const double wx = mask.width > 1 ? sx - mx : 0.0;
      auto at = [&](int i, int j) {
        return static_cast<double>(mask.row(std::min(j, mask.height - 1))[std::min(i, mask.width - 1)]);
      };
      const double top = at(mx, my) * (1 - wx) + at(mx + 1, my) * wx;
      const double bottom = at(mx, my + 1) * (1 - wx) + at(mx + 1, my + 1) * wx;
      const double value = (top * (1 - wy) + bottom * wy) / 255.0;

      const double expected = truth[static_cast<size_t>(y) * width + x];
      const double difference = std::fabs(value - expected);
      const bool person = value * 255.0 + 0.5 >= 129.0, truePerson = expected >= 0.5;
      wholeSum += difference;
      both += person && truePerson;
      either += person || truePerson;
      if (window <= 0.0) {
        ++outsideCount, outsidePerson += person;
      } else if (window >= area) {
        ++insideCount, insidePerson += person;
      } else {
        edgeSum += difference, ++edgeCount;
      }
    }
  }
  error.edge = edgeSum / std::max(edgeCount, 1L);
  error.whole = wholeSum / std::max<size_t>(truth.size(), 1);
  error.iou = both / std::max(either, 1.0);
  error.inside = double(insidePerson) / std::max(insideCount, 1L);
  error.outside = double(outsidePerson) / std::max(outsideCount, 1L);
  return error;
}

}  // namespace test_support
