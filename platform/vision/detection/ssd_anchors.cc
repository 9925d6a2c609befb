#include "platform/vision/detection/ssd_anchors.h"

#include <cmath>

namespace platform::vision {
namespace {

// Every anchor sits in the middle of its grid cell, in the published detectors.
constexpr double kCellOffset = 0.5;

}  // namespace

std::vector<AnchorCentre> ssdAnchors(const SsdAnchorOptions& options) {
  std::vector<AnchorCentre> anchors;
  const size_t layerCount = options.strides.size();
  size_t layer = 0;
  while (layer < layerCount) {
    const int stride = options.strides[layer];
    size_t sameStride = 0;
    while (layer + sameStride < layerCount && options.strides[layer + sameStride] == stride) ++sameStride;
    const size_t perCell = sameStride * (options.interpolatedScale ? 2 : 1);
    if (stride > 0) {
      const int rows = static_cast<int>(std::ceil(static_cast<double>(options.inputHeight) / stride));
      const int columns = static_cast<int>(std::ceil(static_cast<double>(options.inputWidth) / stride));
      for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
          const AnchorCentre centre{(x + kCellOffset) / columns, (y + kCellOffset) / rows};
          anchors.insert(anchors.end(), perCell, centre);
        }
      }
    }
    layer += sameStride;
  }
  return anchors;
}

}  // namespace platform::vision
