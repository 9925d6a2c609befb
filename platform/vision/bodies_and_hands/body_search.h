// Finding every person of a picture: the pose detector over the whole picture, then around every
// face found that no body explains yet, then, where two or more faces show a group, over tiles
// for people whose face was not seen; the pose landmark model on each region, its presence score
// dropping regions with no one in them, one body per person.
#pragma once

#include <span>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/landmark_model.h"
#include "platform/vision/detection/ssd_detector.h"

namespace platform::vision {

// The bodies in the picture (the landmark model's points in picture pixels), those of the whole
// picture's detections first, then those of the faces in their order, then those of the tiles.
// `faces` are face boxes in picture pixels. Fails as the detector or the landmark model does.
Result<std::vector<Landmarks>> searchBodies(const SsdDetector& detector, const LandmarkModel& landmarks,
                                            const media::ImageView& image, std::span<const DetectionBox> faces);

// The square (picture pixels) in which the pose detector looks for the person whose face is `face`:
// six face heights wide, the face in its upper part, as large to the detector as a person of a
// full-body photo whose head fills a sixth of it.
RotatedRect bodyRegionOfFace(const DetectionBox& face);

}  // namespace platform::vision
