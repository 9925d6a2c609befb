#include "frame_analysis/frame_record.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "frame_analysis/face_record.h"
#include "frame_analysis/pose_record.h"
#include "frame_analysis/request_names.h"
#include "platform/errors.h"
#include "platform/json.h"
#include "platform/media/still_image.h"
#include "platform/vision/bodies_and_hands/pose_service.h"
#include "platform/vision/faces/face_service.h"

namespace frame_analysis {

using namespace platform::vision;
using platform::JsonArray;
using platform::JsonObject;
using platform::Result;
using platform::media::Image;

namespace {

// Hands looked for in one frame, the most confident first.
constexpr int kMostHands = 2;

constexpr std::string_view kOutputDomain = "vision.output";
enum class OutputError : int64_t { refused = 1, unwritable = 2 };

// The name an error entry gives the frame's record itself.
constexpr std::string_view kRecordName = "record";

// The failed requests of one frame: "<request name>: <domain> <code>" for the record's "errors",
// and each failure's description for standard error, in the order the requests ran.
struct Failures {
  JsonArray entries;
  std::string messages;

  void add(std::string_view requestName, const platform::Error& error) {
    entries.push_back(std::string(requestName) + ": " + error.domain + " " + std::to_string(error.code));
    messages += error.description + "\n";
  }
};

// What `detect` finds in the frame's picture; nothing, with the failure noted under
// `requestName`, when the picture could not be decoded or the analysis fails.
template <typename Observation, typename Detect>
std::vector<Observation> perform(std::string_view requestName, const Result<Image>& picture, Detect detect,
                                 Failures& failures) {
  Result<std::vector<Observation>> found =
      picture ? detect(picture.value().view()) : Result<std::vector<Observation>>(picture.error());
  if (!found) {
    failures.add(requestName, found.error());
    return {};
  }
  return std::move(found).value();
}

}  // namespace

FrameReport frameReport(double time, FrameFindings findings) {
  const auto line = [time](JsonArray faces, JsonArray bodies, JsonArray hands, JsonArray errors) {
    JsonObject record;
    record["time"] = time;
    record["faces"] = std::move(faces);
    record["bodies"] = std::move(bodies);
    record["hands"] = std::move(hands);
    record["errors"] = std::move(errors);
    return platform::writeJson(record);
  };
  FrameReport report;
  report.line = line(std::move(findings.faces), std::move(findings.bodies), std::move(findings.hands), findings.errors);
  Failures failures{std::move(findings.errors), std::move(findings.messages)};
  if (!report.line) {
    // The frame keeps its line, as an error, rather than vanishing from the output.
    failures.add(kRecordName, platform::Error{std::string(kOutputDomain), static_cast<int64_t>(OutputError::unwritable),
                                              "the frame's record could not be written: a number in it is not finite"});
    report.line = line({}, {}, {}, std::move(failures.entries));
  }
  report.messages = std::move(failures.messages);
  if (report.line) *report.line += '\n';
  return report;
}

FrameReport analyse(const std::string& file, int64_t index, double fps, Analysis analysis) {
  const Result<Image> picture = platform::media::decodeStillImage(file);
  const bool facesOnly = analysis == Analysis::facesOnly;
  // Faces-only records carry a colour sample, taken from the picture the faces were found in.
  const Image* sampled = facesOnly && picture ? &picture.value() : nullptr;

  Failures failures;
  JsonArray faces, bodies, hands;
  const std::vector<FaceObservation> foundFaces =
      perform<FaceObservation>(kFaceRequestName, picture, detectFaceLandmarks, failures);
  for (const FaceObservation& face : foundFaces) faces.push_back(faceRecord(face, sampled));
  if (!facesOnly) {
    // Each person's body is looked for around their face, and their hands around their body.
    const auto bodiesOfFaces = [&](const platform::media::ImageView& image) { return detectBodies(image, foundFaces); };
    const std::vector<BodyObservation> foundBodies =
        perform<BodyObservation>(kBodyRequestName, picture, bodiesOfFaces, failures);
    for (const BodyObservation& body : foundBodies) bodies.push_back(poseRecord(body, bodyJoints));
    const auto handsOfBodies = [&](const platform::media::ImageView& image) {
      return detectHands(image, foundBodies, kMostHands);
    };
    for (const HandObservation& hand : perform<HandObservation>(kHandRequestName, picture, handsOfBodies, failures))
      hands.push_back(poseRecord(hand, handJoints));
  }

  return frameReport(static_cast<double>(index) / fps,
                     FrameFindings{std::move(faces), std::move(bodies), std::move(hands), std::move(failures.entries),
                                   std::move(failures.messages)});
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
