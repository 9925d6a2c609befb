// Where the time of one faces-only frame goes: milliseconds per stage on one picture (median of
// many runs), by the clock and in processor time (the process's user and system time, which a
// machine busy with other work inflates far less than the clock), with the mesh model on one
// thread and, by the clock, on the process pool (the detector runs on one thread). The peer lines, measured in the same
// run, are decoding a JPEG file of the same size: work every frame has to do anyway (two files taken in turn, so that
// the still-image service's memory of the last picture cannot help); and the plain mesh model without the attention
// mesh's closer looks at the eyes and lips, on the same crop: what the irises cost. Usage: face_stages PICTURE.jpg
// OTHER_PICTURE.jpg [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "frame_analysis/colour_sample.h"
#include "platform/media/still_image.h"
#include "platform/nn/model.h"
#include "platform/nn/model_files.h"
#include "platform/vision/detection/ssd_detector.h"
#include "platform/vision/faces/canonical_face.h"
#include "platform/vision/faces/face_crop.h"
#include "platform/vision/faces/face_detector.h"
#include "platform/vision/faces/face_mesh.h"
#include "platform/vision/faces/face_regions.h"
#include "platform/vision/faces/face_search.h"
#include "platform/vision/faces/head_pose.h"

namespace {

using namespace platform::vision;

struct Milliseconds {
  double clock = 0;
  double processor = 0;
};

double processorMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return 1e3 * static_cast<double>(now.tv_sec) + 1e-6 * static_cast<double>(now.tv_nsec);
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

Milliseconds medianMilliseconds(int runs, const std::function<void()>& work) {
  work();
  std::vector<double> clock, processor;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const double startProcessor = processorMilliseconds();
    work();
    processor.push_back(processorMilliseconds() - startProcessor);
    clock.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return {median(clock), median(processor)};
}

void printRow(const char* stage, const Milliseconds& oneThread, const Milliseconds* pool = nullptr) {
  std::printf("%-40s %10.2f %10.2f", stage, oneThread.clock, oneThread.processor);
  if (pool != nullptr) std::printf(" %10.2f", pool->clock);
  std::printf("\n");
}

template <typename T>
T orQuit(platform::Result<T> result, const char* what) {
  if (!result) {
    std::fprintf(stderr, "face_stages: %s: %s\n", what, result.error().description.c_str());
    std::exit(1);
  }
  return std::move(result.value());
}

// The plain mesh model (468 points, no irises) on the crop, on one thread: work to compare with.
std::function<void()> plainMeshRun(const platform::media::Image& picture, const RotatedRect& crop) {
  std::shared_ptr<platform::nn::Model> model =
      orQuit(platform::nn::Model::load(platform::nn::modelPath("face_landmark.tflite"), platform::nn::Threads::one),
             "plain mesh");
  return [model, &picture, crop] {
    (void)imageToTensor(picture.view(), crop, kFaceMeshInputSize, kFaceMeshInputSize, 0, 1, model->input(0));
    (void)model->run();
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: face_stages PICTURE.jpg OTHER_PICTURE.jpg [RUNS]\n", stderr);
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 30;
  const platform::media::Image picture = orQuit(platform::media::decodeStillImage(argv[1]), "decoding");
  const CanonicalFace canonical = orQuit(
      loadCanonicalFace(platform::nn::modelPath("geometry_pipeline_metadata_landmarks.binarypb")), "canonical face");

  std::printf("%dx%d picture, median of %d runs, milliseconds\n", picture.width, picture.height, runs);
  std::printf("%-40s %10s %10s %10s\n", "stage", "1 thread", "processor", "pool");
  int turn = 0;
  const Milliseconds decode =
      medianMilliseconds(runs, [&] { (void)platform::media::decodeStillImage(argv[1 + (turn++ % 2)]); });
  // What the colour sample's second decoding of a frame costs now that the last picture is kept.
  const Milliseconds again = medianMilliseconds(runs, [&] { (void)platform::media::decodeStillImage(argv[1]); });

  // The detector runs on one thread (SsdDetector's choice); the mesh is measured both ways.
  const SsdDetector detector = orQuit(SsdDetector::load(faceDetectorSettings()), "detector");
  // Every face at every size, as `vision` looks for them: the faces the mesh stages below work on.
  const std::vector<Detection> found = orQuit(searchFaces(detector, picture.view()), "searching");
  if (found.empty()) {
    std::fputs("face_stages: no face in the picture\n", stderr);
    return 1;
  }
  const RotatedRect crop = faceMeshCrop(found[0]);
  const Milliseconds detect = medianMilliseconds(runs, [&] { (void)detector.detect(picture.view()); });
  const Milliseconds search = medianMilliseconds(runs, [&] { (void)searchFaces(detector, picture.view()); });
  Milliseconds mesh[2];
  std::vector<Vec3> points;
  for (const platform::nn::Threads threads : {platform::nn::Threads::one, platform::nn::Threads::all}) {
    const FaceMesh meshModel = orQuit(FaceMesh::load(threads), "mesh");
    mesh[threads == platform::nn::Threads::one ? 0 : 1] =
        medianMilliseconds(runs, [&] { (void)meshModel.run(picture.view(), crop); });
    points = orQuit(meshModel.run(picture.view(), crop), "mesh").points;
  }
  const Milliseconds plainMesh = medianMilliseconds(runs, plainMeshRun(picture, crop));
  const std::span<const Vec3> plain = std::span<const Vec3>(points).first(kFaceMeshPointCount);
  const Milliseconds angles =
      medianMilliseconds(runs, [&] { headAngles(plain, picture.width, picture.height, canonical); });
  const double w = picture.width, h = picture.height;
  const NormalizedRect box{found[0].box.xMin / w, 1.0 - found[0].box.yMax() / h, found[0].box.width / w,
                           found[0].box.height / h};
  const Milliseconds sample =
      medianMilliseconds(runs, [&] { frame_analysis::colours(picture, frame_analysis::samplingRect(box)); });

  printRow("face detector (letterbox, run, decode)", detect);
  printRow("face search (whole, tiles, closer looks)", search);
  printRow("face mesh, per face (crop, run)", mesh[0], &mesh[1]);
  printRow("peer: plain face mesh, per face", plainMesh);
  printRow("head angles, per face", angles);
  printRow("colour sample, per face", sample);
  printRow("decoding the same file again (kept)", again);
  printRow("peer: decoding the JPEG file", decode);
  std::printf("faces found: %zu\n", found.size());
  return 0;
}
