// The record `look` writes for one image, and the pieces it is built from.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/json.h"
#include "platform/result.h"
#include "platform/vision/observations.h"

namespace text_reading {

// `value` rounded to four decimals: times 10000, rounded half away from zero, divided by 10000.
double round4(double value);

// A confidence rounded to three decimals: widened to 64 bits, times 1000, rounded half away
// from zero, divided by 1000.
double round3(float confidence);

// [x, y, w, h] of a normalised rectangle (origin bottom-left) with the origin moved to the
// top-left corner: [minX, 1 - maxY, width, height], each rounded by round4. Negative extents
// count as positive.
platform::JsonArray fromTop(const platform::vision::NormalizedRect& rect);

// `text` without the white space and line ends at either end: U+0009 to U+000D, U+0085 and
// every space, line and paragraph separator (Unicode categories Zs, Zl, Zp).
std::string trimmed(const std::string& text);

// {"box", "confidence", "text"} of one recognised line, from its best candidate; nothing when
// there is no candidate or its text is empty once trimmed.
std::optional<platform::JsonObject> lineRecord(const platform::vision::TextObservation& observation);

// {"box", "confidence"} of one face.
platform::JsonObject faceBoxRecord(const platform::vision::FaceObservation& face);

// The "file" value for an image's path: its last path component, with every byte that is not
// part of well-formed UTF-8 replaced by U+FFFD so that the record can always be written.
std::string fileName(const std::string& path);

// The record of an image whose analysis succeeded: "faces", "file", "text".
platform::JsonObject imageRecord(const std::string& path, const std::vector<platform::vision::TextObservation>& lines,
                                 const std::vector<platform::vision::FaceObservation>& faces);

// The record of an image whose analysis failed: "error" (the failure's description, with bytes
// that are not UTF-8 replaced as in fileName), empty "faces", "file", empty "text".
platform::JsonObject failedImageRecord(const std::string& path, const platform::Error& failure);

}  // namespace text_reading
