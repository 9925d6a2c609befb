// Finding every face of a picture, large or small: the face detector over the whole picture, and
// over overlapping tiles where faces may be too small for it there.
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/ssd_detector.h"

namespace platform::vision {

// The faces `detector` finds in the picture, most confident first, in picture pixels. The
// detector sees the whole picture at its input's 192 pixels, where it finds faces surely from
// about 14 of them: 7% of the picture's longer side, a 93-pixel face in a 1280 x 720 frame; a
// weaker detection there that may be a smaller face is looked at again from close by. Where that
// leaves two faces or more, or one that the whole picture showed too small to be sure of, tiles
// half the shorter side wide look again, down to faces of about 4% of it (30 pixels in a 720-pixel
// frame), and their doubtful detections from close by. A lone face of one person before the camera
// costs nothing more than the whole picture. A face found in a coarser view keeps its box; a finer
// view only adds faces. Fails as the detector does.
Result<std::vector<Detection>> searchFaces(const SsdDetector& detector, const media::ImageView& image);

}  // namespace platform::vision
