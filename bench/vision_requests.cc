// vision_requests FRAME_DIRECTORY
//
// Where the time of one full-mode frame of `vision` goes: decoding the picture, then the face, body
// and hand requests, each timed on its own over every .jpg frame of the folder (in name order),
// beside the total and the frames per second it allows. Wall-clock and processor times are both
// given: on a shared machine the first includes waiting for a core, the second does not. Models
// are loaded before the clock starts, as a long run of `vision` pays for that only once.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/directory_listing.h"
#include "platform/media/still_image.h"
#include "platform/name_order.h"
#include "platform/vision/bodies_and_hands/pose_service.h"
#include "platform/vision/faces/face_service.h"

namespace {

using namespace platform;
using namespace platform::vision;

struct Stopwatch {
  double wall = 0, cpu = 0;  // milliseconds, summed over every timed step

  template <typename Step>
  auto time(const Step& step) {
    timespec cpuStart{}, cpuEnd{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
    const auto wallStart = std::chrono::steady_clock::now();
    auto result = step();
    wall += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
    cpu += (cpuEnd.tv_sec - cpuStart.tv_sec) * 1e3 + (cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e6;
    return result;
  }
};

void report(const char* what, const Stopwatch& watch, size_t frames, const std::string& found) {
  std::printf("%-24s %9.2f ms wall %9.2f ms cpu   %s\n", what, watch.wall / frames, watch.cpu / frames, found.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: vision_requests FRAME_DIRECTORY\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  std::optional<std::vector<std::string>> names = listDirectory(folder);
  if (!names) {
    std::fprintf(stderr, "vision_requests: cannot list %s\n", folder.c_str());
    return 1;
  }
  std::vector<std::string> frames;
  for (const size_t i : nameOrder(*names)) {
    if (pathExtension((*names)[i]) == "jpg") frames.push_back(appendPathComponent(folder, (*names)[i]));
  }
  if (frames.empty()) {
    std::fprintf(stderr, "vision_requests: no .jpg frames in %s\n", folder.c_str());
    return 1;
  }

  // One frame first, untimed, so that every model is loaded.
  {
    const Result<media::Image> first = media::decodeStillImage(frames.front());
    if (!first) {
      std::fprintf(stderr, "vision_requests: %s\n", first.error().description.c_str());
      return 1;
    }
    const media::ImageView view = first.value().view();
    const auto ran = [](const auto& found) {
      if (!found) std::fprintf(stderr, "vision_requests: %s\n", found.error().description.c_str());
      return found.ok();
    };
    if (!ran(detectFaceLandmarks(view)) || !ran(detectBodies(view)) || !ran(detectHands(view, 2))) return 1;
  }

  Stopwatch decoding, faces, bodies, hands, total;
  size_t faceCount = 0, bodyCount = 0, handCount = 0, failures = 0;
  for (const std::string& path : frames) {
    total.time([&] {
      const Result<media::Image> picture = decoding.time([&] { return media::decodeStillImage(path); });
      if (!picture) return ++failures, 0;
      const media::ImageView view = picture.value().view();
      const auto found = [&failures](const auto& observations) -> size_t {
        if (!observations) return ++failures, 0;
        return observations.value().size();
      };
      // As the program does: each person's body looked for around their face, their hands around
      // their body.
      const Result<std::vector<FaceObservation>> faceResults = faces.time([&] { return detectFaceLandmarks(view); });
      const std::vector<FaceObservation> noFaces;
      const Result<std::vector<BodyObservation>> bodyResults =
          bodies.time([&] { return detectBodies(view, faceResults ? faceResults.value() : noFaces); });
      const std::vector<BodyObservation> noBodies;
      faceCount += found(faceResults);
      bodyCount += found(bodyResults);
      handCount += found(hands.time([&] { return detectHands(view, bodyResults ? bodyResults.value() : noBodies, 2); }));
      return 0;
    });
  }

  const size_t n = frames.size();
  const auto perFrame = [&](size_t count, const char* what) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %s per frame", static_cast<double>(count) / n, what);
    return std::string(text);
  };
  std::printf("%zu frames of %s; per frame:\n", n, folder.c_str());
  report("decoding (the floor)", decoding, n, "");
  report("face request", faces, n, perFrame(faceCount, "faces"));
  report("body request", bodies, n, perFrame(bodyCount, "bodies"));
  report("hand request", hands, n, perFrame(handCount, "hands"));
  report("total", total, n, "");
  std::printf("frames per second: %.1f by the wall clock, %.1f by processor time%s\n", 1000 * n / total.wall,
              1000 * n / total.cpu, failures ? " (some requests failed)" : "");
  return failures ? 1 : 0;
}
