// Finding every face of a picture, large or small: the face detector over the whole picture, and
// over overlapping tiles where faces may be too small for it there.
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/ssd_detector.h"

namespace platform::vision {

// The faces `detector` finds in the picture, most confident first, in picture pixels. The
// detector sees the whole picture at its input's 192 pixels, where it finds faces reliably from
// about 14 of them: 7% of the picture's longer side, a 93-pixel face in a 1280 x 720 frame. Where
// a picture is much wider than high, square tiles the picture's height wide look again at faces
// down to 5% of the height; and where anything hints at more or smaller faces (two faces found, or
// a doubtful detection that no face explains), tiles half as wide look down to 4% (29 pixels in a
// 720-pixel frame). A face found in a coarser view keeps its box; a finer view only adds faces.
// Fails as the detector does.
Result<std::vector<Detection>> searchFaces(const SsdDetector& detector, const media::ImageView& image);

}  // namespace platform::vision
