// The models of the body and hand service with their published settings, and the crops in which
// each landmark model looks for what its detector found.
#pragma once

#include <span>
#include <string>

#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/detection/landmark_model.h"
#include "platform/vision/detection/rotated_rect.h"
#include "platform/vision/detection/ssd_detector.h"

namespace platform::vision {

// The pose detector (pose_detection.tflite): one detection per person. Its box is the face's;
// keypoint 0 is the middle of the hips and keypoint 1 lies on the circle around the whole body, in
// the direction of the head (keypoints 2 and 3 do the same for the upper body).
SsdDetectorSettings poseDetectorSettings();

// A pose landmark model (pose_landmark_lite, _full or _heavy.tflite): the 33 body points in the
// model's order, each refined on its heat map; confidence is the model's visibility of the point
// (low where it is hidden or guessed).
LandmarkModelSettings poseLandmarkSettings(const std::string& modelFile);

// A palm detector (palm_detection_lite or _full.tflite): one detection per palm, its box the
// palm's; keypoint 0 is the middle of the wrist and keypoint 2 the knuckle of the middle finger.
SsdDetectorSettings palmDetectorSettings(const std::string& modelFile);

// A hand landmark model (hand_landmark_lite or _full.tflite): the 21 points of one hand, the wrist
// and then each finger from its base to its tip, thumb first. No confidence per point.
LandmarkModelSettings handLandmarkSettings(const std::string& modelFile);

// The crop the pose landmark model was trained on: a square around the mid-hip keypoint, twice the
// body circle's radius and a quarter more, turned so that the body points up. Empty when the
// detection lacks those keypoints.
RotatedRect bodyCrop(const Detection& person);

// The crop the hand landmark model was trained on: the palm box turned so that the wrist points
// down and the fingers up, moved half its height towards the fingers, made square on its longer
// side and enlarged 2.6 times so that the whole hand fits. Empty when the detection lacks the
// wrist and knuckle keypoints.
RotatedRect handCrop(const Detection& palm);

// The crop the hand landmark model would look into next around the 21 points it found (picture
// pixels): turned so that the wrist points down towards the knuckles, around the box of the wrist,
// the thumb's base and each finger's first two points, moved a tenth towards the fingers, made
// square and doubled. Empty with fewer than 21 points.
RotatedRect handCropFromLandmarks(std::span<const LandmarkPoint> hand);

}  // namespace platform::vision
