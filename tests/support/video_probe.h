// What ffprobe and ffmpeg, run as programs, say about a video file: an outside check on the files
// the media services write.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

using Fields = std::map<std::string, std::string>;

struct ProbedFrame {
  int64_t pts = 0;
  bool key = false;
  std::string type;  // I, P or B
};

struct ProbedVideo {
  std::vector<Fields> streams;      // every stream: index, codec_type, codec_name, profile, level (ten
                                    // times the H.264 level), width, height, time_base, color_range,
                                    // has_b_frames, pix_fmt
  std::vector<ProbedFrame> frames;  // the first video stream's frames in presentation order
};

// Nothing when ffprobe cannot read the file or a frame has no time.
std::optional<ProbedVideo> probe(const std::string& path);

// Where each packet of the first video stream starts in the file, in file order; empty when
// ffprobe cannot read it.
std::vector<int64_t> videoPacketPositions(const std::string& path);

// The luma plane of every frame of the first video stream, decoded by ffmpeg without any
// conversion (the samples as coded), each width * height bytes, rows top first.
std::vector<std::vector<uint8_t>> lumaPlanes(const std::string& path, int width, int height);

}  // namespace test_support
