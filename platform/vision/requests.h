// Vision requests: each names an analysis, carries its options and, once performed by a handler,
// its results.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/observations.h"
#include "platform/vision/text_service.h"

namespace platform::vision {

class VNRequest {
 public:
  virtual ~VNRequest() = default;

  // The request's class name, as error entries name it.
  virtual std::string_view className() const = 0;

  // The analysis always runs on the processor here; the option is kept for callers that set it.
  void setUsesCPUOnly(bool value) { usesCPUOnly_ = value; }
  bool usesCPUOnly() const { return usesCPUOnly_; }

  // Runs the analysis on `image` and keeps its results on the request; on failure the results
  // are absent. Handlers call this; programs call the handler.
  virtual std::optional<Error> perform(const media::ImageView& image) = 0;

 private:
  bool usesCPUOnly_ = false;
};

// Results are absent until the request has run, and after it failed.
template <typename Observation>
class VNRequestWithResults : public VNRequest {
 public:
  const std::optional<std::vector<Observation>>& results() const { return results_; }

 protected:
  std::optional<Error> keep(Result<std::vector<Observation>> outcome) {
    if (!outcome) {
      results_.reset();
      return outcome.error();
    }
    results_ = std::move(outcome.value());
    return std::nullopt;
  }

 private:
  std::optional<std::vector<Observation>> results_;
};

// Faces with their box, landmark regions and head angles, most confident first.
class VNDetectFaceLandmarksRequest : public VNRequestWithResults<VNFaceObservation> {
 public:
  std::string_view className() const override { return "VNDetectFaceLandmarksRequest"; }
  // Which set of landmark points to report; every value gives the regions this platform has.
  void setConstellation(int constellation) { constellation_ = constellation; }
  int constellation() const { return constellation_; }
  std::optional<Error> perform(const media::ImageView& image) override;

 private:
  int constellation_ = 0;
};

// Face boxes and confidences only, most confident first.
class VNDetectFaceRectanglesRequest : public VNRequestWithResults<VNFaceObservation> {
 public:
  std::string_view className() const override { return "VNDetectFaceRectanglesRequest"; }
  std::optional<Error> perform(const media::ImageView& image) override;
};

class VNDetectHumanBodyPoseRequest : public VNRequestWithResults<VNHumanBodyPoseObservation> {
 public:
  std::string_view className() const override { return "VNDetectHumanBodyPoseRequest"; }
  std::optional<Error> perform(const media::ImageView& image) override;
};

class VNDetectHumanHandPoseRequest : public VNRequestWithResults<VNHumanHandPoseObservation> {
 public:
  std::string_view className() const override { return "VNDetectHumanHandPoseRequest"; }
  // The most confident hands are kept, at most this many.
  void setMaximumHandCount(int count) { maximumHandCount_ = count; }
  int maximumHandCount() const { return maximumHandCount_; }
  std::optional<Error> perform(const media::ImageView& image) override;

 private:
  int maximumHandCount_ = 2;
};

// Lines of text in reading order, each with its best reading and the line's box.
class VNRecognizeTextRequest : public VNRequestWithResults<VNRecognizedTextObservation> {
 public:
  std::string_view className() const override { return "VNRecognizeTextRequest"; }
  void setRecognitionLevel(VNRequestTextRecognitionLevel level) { options_.recognitionLevel = level; }
  VNRequestTextRecognitionLevel recognitionLevel() const { return options_.recognitionLevel; }
  void setUsesLanguageCorrection(bool value) { options_.usesLanguageCorrection = value; }
  bool usesLanguageCorrection() const { return options_.usesLanguageCorrection; }
  void setAutomaticallyDetectsLanguage(bool value) { options_.automaticallyDetectsLanguage = value; }
  bool automaticallyDetectsLanguage() const { return options_.automaticallyDetectsLanguage; }
  std::optional<Error> perform(const media::ImageView& image) override;

 private:
  TextRecognitionOptions options_;
};

}  // namespace platform::vision
