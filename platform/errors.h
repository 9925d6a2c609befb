// The domains of the platform's failures, in one place.
//
// Every failure names the service that reports it: its domain is "platform." and the service's
// name, and its code comes from that service's own error enum (declared beside the service,
// numbered from 1). A service reports a failure of a layer below it (a model that cannot be
// loaded, a picture that cannot be decoded) under its own domain and code, keeping the lower
// layer's description, so a caller only ever sees the domains of the services it called. The one
// exception is the picture itself: a program that cannot decode a file reports the still-image
// service's failure for each analysis it would have run, because no service ran. The layers
// that serve several services (the neural-network runtime, the detector building blocks) report
// under their own domains only to those services, which wrap them: their domains never reach a
// program.
//
// `vision` writes the domain and code of every failed analysis into the frame's error entries;
// these strings are therefore part of its output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/result.h"

namespace platform {

inline constexpr std::string_view kImageDomain = "platform.image";                // still pictures
inline constexpr std::string_view kVideoDomain = "platform.video";                // video reading and writing
inline constexpr std::string_view kRenderDomain = "platform.render";              // drawing masks into frames
inline constexpr std::string_view kModelDomain = "platform.model";                // the neural-network runtime
inline constexpr std::string_view kDetectionDomain = "platform.detection";        // detector building blocks
inline constexpr std::string_view kFacesDomain = "platform.faces";                // face rectangles and landmarks
inline constexpr std::string_view kBodiesAndHandsDomain = "platform.pose";        // body and hand joints
inline constexpr std::string_view kSegmentationDomain = "platform.segmentation";  // person masks
inline constexpr std::string_view kTextDomain = "platform.text";                  // text recognition

// An Error of `domain` with the enum value `code`.
template <typename Code>
requires std::is_enum_v<Code> Error makeError(std::string_view domain, Code code, std::string description) {
  return Error{std::string(domain), static_cast<int64_t>(code), std::move(description)};
}

// `lower` reported under `domain` and `code`: its description is kept.
template <typename Code>
requires std::is_enum_v<Code> Error wrapError(std::string_view domain, Code code, const Error& lower) {
  return makeError(domain, code, lower.description);
}

}  // namespace platform
