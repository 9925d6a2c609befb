#include "person_cutout/mask_statistics.h"

#include <algorithm>
#include <cstdint>

namespace person_cutout {
namespace {

constexpr uint8_t kPerson = 129;

}  // namespace

MaskMeasure measureMask(const platform::media::PixelBuffer& mask) {
  MaskMeasure measure;
  if (mask.data == nullptr) return measure;
  measure.measured = true;

  int64_t persons = 0, points = 0;
  for (int y = 0; y < mask.height; y += 8) {
    const uint8_t* row = mask.row(y);
    for (int x = 0; x < mask.width; x += 8) {
      ++points;
      if (row[x] >= kPerson) ++persons;
    }
  }
  measure.coverage = static_cast<double>(persons) / static_cast<double>(std::max<int64_t>(points, 1));
  measure.personFrame = measure.coverage > 0.02;
  if (!measure.personFrame) return measure;

  for (int y = 0; y < mask.height; y += 4) {
    const uint8_t* row = mask.row(y);
    int64_t rowPoints = 0, rowPersons = 0;
    for (int x = 0; x < mask.width; x += 8) {
      ++rowPoints;
      if (row[x] >= kPerson) ++rowPersons;
    }
    if (rowPoints <= 16 * rowPersons) {
      measure.top = static_cast<double>(y) / static_cast<double>(mask.height);
      break;
    }
  }
  return measure;
}

}  // namespace person_cutout
