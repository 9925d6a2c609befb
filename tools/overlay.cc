// overlay FRAME.jpg OUTPUT.png [LINE]
//
// Draws one line of vision's output over its frame and writes the result as a PNG, so a person can
// check by eye where the boxes, landmark regions, joints and hand points landed. The line is read
// from standard input when not given. Faces: green box, yellow regions (pupils as dots; regions of
// three or more points are closed contours, so their last point joins their first), the head
// angles in degrees above the box as "y<yaw> p<pitch> r<roll>". Bodies: red bones, the person's
// own left joints orange and the others red, so a swapped left and right shows. Hands: blue
// points, joined from the wrist to each finger tip.
#include <png.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/media/still_image.h"

namespace {

using nlohmann::json;

struct Colour {
  uint8_t r, g, b;
};

class Canvas {
 public:
  explicit Canvas(platform::media::Image image) : image_(std::move(image)) {}

  // Normalised coordinates (origin bottom-left, y up) to pixels.
  double px(double x) const { return x * image_.width; }
  double py(double y) const { return (1 - y) * image_.height; }

  void dot(double x, double y, int radius, Colour c) {
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx)
        if (dx * dx + dy * dy <= radius * radius)
          set(static_cast<int>(std::lround(x)) + dx, static_cast<int>(std::lround(y)) + dy, c);
  }

  void line(double x0, double y0, double x1, double y1, Colour c, int thickness = 1) {
    const int steps = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0))) + 1;
    for (int i = 0; i <= steps; ++i) {
      const double t = static_cast<double>(i) / steps;
      dot(x0 + t * (x1 - x0), y0 + t * (y1 - y0), thickness / 2, c);
    }
  }

  void text(double x, double y, const std::string& s, Colour c, int scale) {
    for (const char ch : s) {
      const auto glyph = kFont.find(ch);
      if (glyph != kFont.end()) {
        for (int row = 0; row < 7; ++row)
          for (int col = 0; col < 5; ++col)
            if (glyph->second[row][col] == '#')
              for (int sy = 0; sy < scale; ++sy)
                for (int sx = 0; sx < scale; ++sx)
                  set(static_cast<int>(x) + col * scale + sx, static_cast<int>(y) + row * scale + sy, c);
      }
      x += 6 * scale;
    }
  }

  bool writePng(const std::string& path) const {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_write_struct(&png, &info);
      std::fclose(file);
      return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, image_.width, image_.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image_.height; ++y)
      png_write_row(png, image_.rgb.data() + static_cast<size_t>(y) * image_.width * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
  }

 private:
  void set(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    uint8_t* p = image_.rgb.data() + (static_cast<size_t>(y) * image_.width + x) * 3;
    p[0] = c.r, p[1] = c.g, p[2] = c.b;
  }

  static inline const std::map<char, std::vector<std::string>> kFont = {
      {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
      {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
      {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
      {'3', {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "}},
      {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
      {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
      {'6', {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "}},
      {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
      {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
      {'9', {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "}},
      {'-', {"     ", "     ", "     ", "#####", "     ", "     ", "     "}},
      {'.', {"     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "}},
      {'y', {"     ", "     ", "#   #", "#   #", " ####", "    #", " ### "}},
      {'p', {"     ", "     ", "#### ", "#   #", "#### ", "#    ", "#    "}},
      {'r', {"     ", "     ", "# ## ", "##  #", "#    ", "#    ", "#    "}},
  };

  platform::media::Image image_;
};

constexpr Colour kGreen{40, 220, 60}, kYellow{255, 220, 0}, kRed{240, 40, 40}, kBlue{40, 120, 255},
    kWhite{255, 255, 255}, kOrange{255, 150, 0};

std::string rounded(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

void drawFace(Canvas& canvas, const json& face) {
  const json& box = face.at("box");
  const double x0 = canvas.px(box[0].get<double>()), y1 = canvas.py(box[1].get<double>());
  const double x1 = canvas.px(box[0].get<double>() + box[2].get<double>());
  const double y0 = canvas.py(box[1].get<double>() + box[3].get<double>());
  canvas.line(x0, y0, x1, y0, kGreen, 2), canvas.line(x1, y0, x1, y1, kGreen, 2);
  canvas.line(x1, y1, x0, y1, kGreen, 2), canvas.line(x0, y1, x0, y0, kGreen, 2);
  for (const auto& [name, points] : face.at("landmarks").items()) {
    for (size_t i = 0; i < points.size(); ++i) {
      const double x = canvas.px(points[i][0].get<double>()), y = canvas.py(points[i][1].get<double>());
      if (points.size() == 1) canvas.dot(x, y, 2, kRed);
      if (i > 0)
        canvas.line(canvas.px(points[i - 1][0].get<double>()), canvas.py(points[i - 1][1].get<double>()), x, y,
                    kYellow);
    }
    if (points.size() >= 3) {
      const json& first = points.front();
      const json& last = points.back();
      canvas.line(canvas.px(last[0].get<double>()), canvas.py(last[1].get<double>()), canvas.px(first[0].get<double>()),
                  canvas.py(first[1].get<double>()), kYellow);
    }
  }
  std::string angles;
  for (const auto& [key, letter] : {std::pair{"yaw_degrees", "y"}, {"pitch_degrees", "p"}, {"roll_degrees", "r"}}) {
    if (face.contains(key)) angles += std::string(letter) + rounded(face.at(key).get<double>()) + " ";
  }
  canvas.text(x0, std::max(0.0, y0 - 20), angles, kWhite, 2);
}

// Joints whose key starts with "left" get `left`, the others `c`.
void drawPose(Canvas& canvas, const json& pose, const std::vector<std::pair<const char*, const char*>>& bones, Colour c,
              Colour left) {
  const json& points = pose.at("points");
  const auto at = [&](const char* key, double& x, double& y) {
    if (!points.contains(key)) return false;
    x = canvas.px(points[key][0].get<double>()), y = canvas.py(points[key][1].get<double>());
    return true;
  };
  for (const auto& [a, b] : bones) {
    double xa, ya, xb, yb;
    if (at(a, xa, ya) && at(b, xb, yb)) canvas.line(xa, ya, xb, yb, c, 2);
  }
  for (const auto& [key, point] : points.items()) {
    canvas.dot(canvas.px(point[0].get<double>()), canvas.py(point[1].get<double>()), 4,
               key.rfind("left", 0) == 0 ? left : c);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fputs("usage: overlay FRAME.jpg OUTPUT.png [LINE]\n", stderr);
    return 2;
  }
  platform::Result<platform::media::Image> image = platform::media::decodeStillImage(argv[1]);
  if (!image) {
    std::fprintf(stderr, "overlay: %s\n", image.error().description.c_str());
    return 1;
  }
  std::string text = argc == 4 ? argv[3] : std::string(std::istreambuf_iterator<char>(std::cin), {});
  const json line = json::parse(text, nullptr, false);
  if (line.is_discarded() || !line.is_object()) {
    std::fputs("overlay: the line is not a JSON object\n", stderr);
    return 1;
  }
  Canvas canvas(std::move(image.value()));
  try {
    for (const json& face : line.value("faces", json::array())) drawFace(canvas, face);
    for (const json& body : line.value("bodies", json::array())) {
      drawPose(canvas, body,
               {{"nose", "neck"},
                {"neck", "leftShoulder"},
                {"neck", "rightShoulder"},
                {"leftShoulder", "leftElbow"},
                {"leftElbow", "leftWrist"},
                {"rightShoulder", "rightElbow"},
                {"rightElbow", "rightWrist"},
                {"leftShoulder", "leftHip"},
                {"rightShoulder", "rightHip"},
                {"leftHip", "rightHip"}},
               kRed, kOrange);
    }
    for (const json& hand : line.value("hands", json::array())) {
      drawPose(canvas, hand,
               {{"wrist", "thumbTip"},
                {"wrist", "indexTip"},
                {"wrist", "middleTip"},
                {"wrist", "ringTip"},
                {"wrist", "littleTip"}},
               kBlue, kBlue);
    }
  } catch (const json::exception& error) {
    std::fprintf(stderr, "overlay: the line does not have the expected shape: %s\n", error.what());
    return 1;
  }
  if (!canvas.writePng(argv[2])) {
    std::fprintf(stderr, "overlay: could not write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
