// Finding every person of a picture: the pose detector over the whole picture, then around every
// face found whose nose no body has yet, then, where two or more faces show a group, over tiles
// for people whose face was not seen; the pose landmark model on each region, its presence score
// dropping regions with no one in them, one body per person. Where other faces bound a person (a
// gallery of head-and-shoulders pictures, people in rows), the model also looks at the picture
// cut around that person, as at a frame's edge, so that it does not follow the body of the person
// below.
#pragma once

#include <span>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/landmark_model.h"
#include "platform/vision/detection/ssd_detector.h"

namespace platform::vision {

// The bodies in the picture (the landmark model's points in picture pixels), those of the whole
// picture's detections first, then those of the faces in their order, then those of the tiles. A
// body found around a face has its nose on that face, and takes the place of one found before
// whose head was placed near it. `faces` are face boxes in picture pixels. Fails as the detector
// or the landmark model does.
Result<std::vector<Landmarks>> searchBodies(const SsdDetector& detector, const LandmarkModel& landmarks,
                                            const media::ImageView& image, std::span<const DetectionBox> faces);

// The pose detection that an upright person whose face is `face` would give (score 0): its hips
// below the face and its body's circle reaching just above the head, as large as the sample
// pictures' people are for their faces.
Detection uprightPersonOfFace(const DetectionBox& face);

// The square (picture pixels) in which the pose detector looks for the person whose face is `face`:
// six face heights wide, the face in its upper part, as large to the detector as a person of a
// full-body photo whose head fills a sixth of it.
RotatedRect bodyRegionOfFace(const DetectionBox& face);

}  // namespace platform::vision
