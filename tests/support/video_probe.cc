#include "tests/support/video_probe.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "tests/support/files.h"
#include "tests/support/program_run.h"

namespace test_support {
namespace {

// One "key=value|key=value" line of ffprobe's compact writer.
Fields fieldsOf(const std::string& line) {
  Fields fields;
  std::istringstream parts(line);
  std::string part;
  while (std::getline(parts, part, '|')) {
    const size_t equals = part.find('=');
    if (equals != std::string::npos) fields[part.substr(0, equals)] = part.substr(equals + 1);
  }
  return fields;
}

std::vector<Fields> linesOf(const std::string& text) {
  std::vector<Fields> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) lines.push_back(fieldsOf(line));
  }
  return lines;
}

}  // namespace

std::optional<ProbedVideo> probe(const std::string& path) {
  const ProgramRun streams = runProgram("ffprobe", {"-v", "error", "-show_entries",
                                                    "stream=index,codec_type,codec_name,profile,level,width,height,"
                                                    "time_base,color_range,has_b_frames,pix_fmt",
                                                    "-of", "compact=p=0", path});
  if (streams.exitStatus != 0) return std::nullopt;
  const ProgramRun frames = runProgram("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                   "frame=pts,key_frame,pict_type", "-of", "compact=p=0", path});
  if (frames.exitStatus != 0) return std::nullopt;
  ProbedVideo video;
  video.streams = linesOf(streams.standardOutput);
  for (Fields& frame : linesOf(frames.standardOutput)) {
    // A frame without a time ("N/A") is a file the tests should fail on, not an exception.
    const std::string& pts = frame["pts"];
    int64_t time = 0;
    const std::from_chars_result read = std::from_chars(pts.data(), pts.data() + pts.size(), time);
    if (read.ec != std::errc() || read.ptr != pts.data() + pts.size()) return std::nullopt;
    video.frames.push_back(ProbedFrame{time, frame["key_frame"] == "1", frame["pict_type"]});
  }
  return video;
}

std::vector<int64_t> videoPacketPositions(const std::string& path) {
  const ProgramRun packets = runProgram(
      "ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "packet=pos", "-of", "compact=p=0", path});
  std::vector<int64_t> positions;
  if (packets.exitStatus != 0) return positions;
  for (Fields& packet : linesOf(packets.standardOutput)) positions.push_back(std::stoll(packet["pos"]));
  std::sort(positions.begin(), positions.end());
  return positions;
}

std::vector<std::vector<uint8_t>> lumaPlanes(const std::string& path, int width, int height) {
  TemporaryFolder folder;
  const std::string raw = (folder / "frames.yuv");
  // No pixel format is asked for: the decoder's own (yuv420p, or yuvj420p for full range) passes
  // through unconverted; both lay out 8-bit 4:2:0 planes alike.
  // Every frame once, whatever the gaps between their times.
  runProgram("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-fps_mode", "passthrough", "-f",
                        "rawvideo", raw});
  const std::string bytes = readFile(raw);
  const size_t luma = static_cast<size_t>(width) * height;
  const size_t frame = luma + 2 * (static_cast<size_t>(width / 2) * (height / 2));
  std::vector<std::vector<uint8_t>> planes;
  for (size_t at = 0; frame > 0 && at + frame <= bytes.size(); at += frame) {
    planes.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.begin() + static_cast<ptrdiff_t>(at + luma));
  }
  return planes;
}

}  // namespace test_support
