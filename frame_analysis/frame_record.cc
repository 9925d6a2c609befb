#include "frame_analysis/frame_record.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "frame_analysis/face_record.h"
#include "frame_analysis/pose_record.h"
#include "frame_analysis/run_state.h"
#include "platform/json.h"
#include "platform/media/still_image.h"
#include "platform/vision/image_request_handler.h"
#include "platform/vision/requests.h"

namespace frame_analysis {

using namespace platform::vision;
using platform::JsonArray;
using platform::JsonObject;

std::string errorEntry(std::string_view requestClass, const platform::Error& error) {
  return std::string(requestClass) + ": " + error.domain + " " + std::to_string(error.code);
}

void analyse(const std::string& file, int64_t index, double fps) {
  VNDetectFaceLandmarksRequest faceRequest;
  faceRequest.setConstellation(2);
  VNDetectHumanBodyPoseRequest bodyRequest;
  VNDetectHumanHandPoseRequest handRequest;
  handRequest.setMaximumHandCount(2);
  faceRequest.setUsesCPUOnly(true);
  bodyRequest.setUsesCPUOnly(true);
  handRequest.setUsesCPUOnly(true);

  VNImageRequestHandler handler(file, ImageOrientation::up);
  std::vector<VNRequest*> toRun = {&faceRequest};
  if (!facesOnly) toRun = {&faceRequest, &bodyRequest, &handRequest};

  JsonArray errors;
  for (VNRequest* request : toRun) {
    if (const std::optional<platform::Error> failure = handler.performRequests({request})) {
      errors.push_back(errorEntry(request->className(), *failure));
      const std::string line = failure->description + "\n";
      std::fwrite(line.data(), 1, line.size(), stderr);
    }
  }

  std::optional<platform::media::Image> image;
  if (facesOnly) {
    platform::Result<platform::media::Image> decoded = platform::media::decodeStillImage(file);
    if (decoded) image = std::move(decoded.value());
  }

  JsonArray faces, bodies, hands;
  if (faceRequest.results()) {
    for (const VNFaceObservation& face : *faceRequest.results()) faces.push_back(faceRecord(face, image ? &*image : nullptr));
  }
  if (bodyRequest.results()) {
    for (const VNHumanBodyPoseObservation& body : *bodyRequest.results()) bodies.push_back(poseRecord(body, bodyJoints));
  }
  if (handRequest.results()) {
    for (const VNHumanHandPoseObservation& hand : *handRequest.results()) hands.push_back(poseRecord(hand, handJoints));
  }

  JsonObject record;
  record["time"] = static_cast<double>(index) / fps;
  record["faces"] = std::move(faces);
  record["bodies"] = std::move(bodies);
  record["hands"] = std::move(hands);
  record["errors"] = std::move(errors);
  // A record that cannot be written (a time that is not finite) leaves no line.
  const std::optional<std::string> text = platform::writeJson(record);
  if (!text) return;
  std::fwrite(text->data(), 1, text->size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace frame_analysis
