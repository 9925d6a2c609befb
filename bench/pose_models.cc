// Which pose and hand landmark models to use: each variant's time per run beside how far its
// joints land from those of the most accurate variant, on the same crops of the test pictures.
// Bodies: lite and full against heavy; hands: lite against full; the palm detectors by how many
// palms they find (the hand landmark model's presence then tells true hands from false). Errors are given as a share of
// the body's torso (mid-shoulder to mid-hip) or of the hand's palm (wrist to middle knuckle).
// Usage: pose_models [PICTURE.jpg...]   (default: the pose fixtures and the dancer frames)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/media/still_image.h"
#include "platform/vision/bodies_and_hands/body_and_hand_models.h"

namespace {

using namespace platform;
using namespace platform::vision;

struct Clock {
  double wall = 0, cpu = 0;  // milliseconds
  static Clock now() {
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count(),
            cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6};
  }
};

template <typename T>
T need(Result<T> result, const std::string& what) {
  if (!result) {
    std::fprintf(stderr, "pose_models: %s: %s\n", what.c_str(), result.error().description.c_str());
    std::exit(1);
  }
  return std::move(result.value());
}

double distance(ImagePoint a, ImagePoint b) { return std::hypot(a.x - b.x, a.y - b.y); }
ImagePoint middle(ImagePoint a, ImagePoint b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

// The ten body points the frame records carry: nose, shoulders, elbows, wrists, hips.
constexpr size_t kBodyJoints[] = {0, 11, 12, 13, 14, 15, 16, 23, 24};
// The hand points they carry: wrist and finger tips.
constexpr size_t kHandJoints[] = {0, 4, 8, 12, 16, 20};

struct Tally {
  std::string name;
  double wall = 0, cpu = 0;
  int runs = 0, found = 0;
  int confirmed = -1;          // of a detector's finds, how many the reference landmark model confirms
  bool compared = false;       // against the reference, so errors are given
  std::vector<double> errors;  // per joint, as a share of the reference size

  void print() const {
    std::vector<double> sorted = errors;
    std::sort(sorted.begin(), sorted.end());
    double mean = 0;
    for (double e : errors) mean += e;
    const auto share = [&](double limit) {
      return errors.empty() ? 0.0 : 100.0 * std::count_if(errors.begin(), errors.end(), [&](double e) {
                                      return e <= limit;
                                    }) / errors.size();
    };
    std::printf("%-30s %5d runs %4d found %8.2f ms wall %8.2f ms cpu", name.c_str(), runs, found, wall / runs,
                cpu / runs);
    if (confirmed >= 0) {
      std::printf("   %d confirmed by %s\n", confirmed, "the reference landmark model");
    } else if (!compared) {
      std::printf("\n");
    } else {
      std::printf("   error mean %5.1f%%  median %5.1f%%  within 10%%: %5.1f%%  within 20%%: %5.1f%%\n",
                  100 * mean / errors.size(), 100 * sorted[sorted.size() / 2], share(0.1), share(0.2));
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> pictures(argv + 1, argv + argc);
  if (pictures.empty()) {
    for (const char* name :
         {"pose/one_person.jpg", "pose/two_people.jpg", "pose/dancer_mirrored.jpg", "pose/open_hand.jpg",
          "dancer_frames/frame001.jpg", "dancer_frames/frame002.jpg", "dancer_frames/frame003.jpg",
          "dancer_frames/frame004.jpg", "dancer_frames/frame005.jpg"}) {
      pictures.push_back(std::string(TEST_FIXTURES_DIR) + "/" + name);
    }
  }
  const SsdDetector poseDetector = need(SsdDetector::load(poseDetectorSettings()), "pose detector");
  std::vector<std::pair<std::string, LandmarkModel>> bodyModels;
  for (const char* name : {"pose_landmark_heavy.tflite", "pose_landmark_full.tflite", "pose_landmark_lite.tflite"}) {
    bodyModels.emplace_back(name, need(LandmarkModel::load(poseLandmarkSettings(name)), name));
  }
  std::vector<std::pair<std::string, SsdDetector>> palmModels;
  for (const char* name : {"palm_detection_full.tflite", "palm_detection_lite.tflite"}) {
    palmModels.emplace_back(name, need(SsdDetector::load(palmDetectorSettings(name)), name));
  }
  std::vector<std::pair<std::string, LandmarkModel>> handModels;
  for (const char* name : {"hand_landmark_full.tflite", "hand_landmark_lite.tflite"}) {
    handModels.emplace_back(name, need(LandmarkModel::load(handLandmarkSettings(name)), name));
  }

  std::vector<Tally> bodyTallies(bodyModels.size()), palmTallies(palmModels.size()), handTallies(handModels.size());
  for (size_t m = 0; m < bodyModels.size(); ++m) bodyTallies[m].name = bodyModels[m].first;
  for (size_t m = 0; m < palmModels.size(); ++m) palmTallies[m].name = palmModels[m].first;
  for (size_t m = 0; m < handModels.size(); ++m) handTallies[m].name = handModels[m].first;
  for (size_t m = 1; m < bodyModels.size(); ++m) bodyTallies[m].compared = true;
  for (size_t m = 1; m < handModels.size(); ++m) handTallies[m].compared = true;

  const auto timed = [](Tally& tally, const auto& run) {
    const Clock start = Clock::now();
    auto result = run();
    const Clock end = Clock::now();
    tally.wall += end.wall - start.wall;
    tally.cpu += end.cpu - start.cpu;
    ++tally.runs;
    return result;
  };

  for (const std::string& path : pictures) {
    const media::Image picture = need(media::decodeStillImage(path), path);
    const media::ImageView image = picture.view();
    for (const Detection& person : need(poseDetector.detect(image), "pose detector")) {
      std::vector<std::optional<Landmarks>> bodies;
      for (size_t m = 0; m < bodyModels.size(); ++m) {
        bodies.push_back(need(timed(bodyTallies[m], [&] { return bodyModels[m].second.run(image, bodyCrop(person)); }),
                              "pose landmarks"));
        if (bodies.back()) ++bodyTallies[m].found;
      }
      if (!bodies[0]) continue;
      const std::vector<LandmarkPoint>& reference = bodies[0]->points;
      const double torso = distance(middle(reference[11].position, reference[12].position),
                                    middle(reference[23].position, reference[24].position));
      for (size_t m = 1; m < bodies.size(); ++m) {
        if (!bodies[m]) continue;
        for (const size_t j : kBodyJoints)
          bodyTallies[m].errors.push_back(distance(bodies[m]->points[j].position, reference[j].position) / torso);
      }
    }

    std::vector<Detection> palms;
    for (size_t m = 0; m < palmModels.size(); ++m) {
      std::vector<Detection> found =
          need(timed(palmTallies[m], [&] { return palmModels[m].second.detect(image); }), "palm detector");
      palmTallies[m].found += static_cast<int>(found.size());
      palmTallies[m].confirmed = std::max(palmTallies[m].confirmed, 0);
      for (const Detection& palm : found) {
        if (need(handModels[0].second.run(image, handCrop(palm)), "hand landmarks")) ++palmTallies[m].confirmed;
      }
      if (m == 0) palms = std::move(found);
    }
    for (const Detection& palm : palms) {
      std::vector<std::optional<Landmarks>> hands;
      for (size_t m = 0; m < handModels.size(); ++m) {
        hands.push_back(need(timed(handTallies[m], [&] { return handModels[m].second.run(image, handCrop(palm)); }),
                             "hand landmarks"));
        if (hands.back()) ++handTallies[m].found;
      }
      if (!hands[0]) continue;
      const std::vector<LandmarkPoint>& reference = hands[0]->points;
      const double palmSize = distance(reference[0].position, reference[9].position);
      for (size_t m = 1; m < hands.size(); ++m) {
        if (!hands[m]) continue;
        for (const size_t j : kHandJoints)
          handTallies[m].errors.push_back(distance(hands[m]->points[j].position, reference[j].position) / palmSize);
      }
    }
  }

  std::printf("%zu pictures; one thread per model; errors against the first model of each group\n", pictures.size());
  for (const Tally& t : bodyTallies) t.print();
  for (const Tally& t : palmTallies) t.print();
  for (const Tally& t : handTallies) t.print();
  return 0;
}
