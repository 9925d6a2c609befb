#include "frame_analysis/frame_record.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "frame_analysis/face_record.h"
#include "frame_analysis/pose_record.h"
#include "frame_analysis/run_state.h"
#include "platform/errors.h"
#include "platform/json.h"
#include "platform/media/still_image.h"
#include "platform/vision/bodies_and_hands/pose_requests.h"
#include "platform/vision/faces/face_requests.h"
#include "platform/vision/image_request_handler.h"

namespace frame_analysis {

using namespace platform::vision;
using platform::JsonArray;
using platform::JsonObject;

namespace {

constexpr std::string_view kOutputDomain = "vision.output";
enum class OutputError : int64_t { refused = 1 };

}  // namespace

std::string errorEntry(std::string_view requestName, const platform::Error& error) {
  return std::string(requestName) + ": " + error.domain + " " + std::to_string(error.code);
}

FrameReport analyse(const std::string& file, int64_t index, double fps) {
  FrameReport report;
  FaceLandmarksRequest faceRequest;
  BodyPoseRequest bodyRequest;
  HandPoseRequest handRequest;
  handRequest.setMaximumHandCount(2);

  ImageRequestHandler handler(file);
  struct Named {
    Request* request;
    std::string_view name;
  };
  std::vector<Named> toRun = {{&faceRequest, kFaceRequestName}};
  if (!facesOnly)
    toRun = {{&faceRequest, kFaceRequestName}, {&bodyRequest, kBodyRequestName}, {&handRequest, kHandRequestName}};

  JsonArray errors;
  for (const Named& run : toRun) {
    // Each person's body is looked for around their face, and their hands around their body.
    if (run.request == &bodyRequest && faceRequest.results()) bodyRequest.setFaces(*faceRequest.results());
    if (run.request == &handRequest && bodyRequest.results()) handRequest.setBodies(*bodyRequest.results());
    if (const platform::Result<void> done = handler.perform({run.request}); !done) {
      errors.push_back(errorEntry(run.name, done.error()));
      report.messages += done.error().description + "\n";
    }
  }

  std::optional<platform::media::Image> image;
  if (facesOnly) {
    platform::Result<platform::media::Image> decoded = platform::media::decodeStillImage(file);
    if (decoded) image = std::move(decoded).value();
  }

  JsonArray faces, bodies, hands;
  if (faceRequest.results()) {
    for (const FaceObservation& face : *faceRequest.results())
      faces.push_back(faceRecord(face, image ? &*image : nullptr));
  }
  if (bodyRequest.results()) {
    for (const BodyObservation& body : *bodyRequest.results()) bodies.push_back(poseRecord(body, bodyJoints));
  }
  if (handRequest.results()) {
    for (const HandObservation& hand : *handRequest.results()) hands.push_back(poseRecord(hand, handJoints));
  }

  JsonObject record;
  record["time"] = static_cast<double>(index) / fps;
  record["faces"] = std::move(faces);
  record["bodies"] = std::move(bodies);
  record["hands"] = std::move(hands);
  record["errors"] = std::move(errors);
  // A record that cannot be written (a time that is not finite) leaves no line.
  report.line = platform::writeJson(record);
  if (report.line) *report.line += '\n';
  return report;
}

platform::Result<void> writeReport(const FrameReport& report) {
  // Standard error is unbuffered: one write for all the frame's messages.
  if (!report.messages.empty()) std::fwrite(report.messages.data(), 1, report.messages.size(), stderr);
  if (!report.line) return {};
  const bool written =
      std::fwrite(report.line->data(), 1, report.line->size(), stdout) == report.line->size() && !std::ferror(stdout);
  if (!written) return platform::makeError(kOutputDomain, OutputError::refused, "standard output refused a line");
  return {};
}

}  // namespace frame_analysis
