// The demuxer behind a VideoAsset, shared with the reader that reads it. Internal to
// platform/media.
#pragma once

#include "platform/media/ffmpeg_support.h"

namespace platform::media {

struct Container {
  ffmpeg::FormatInput format;
  bool reading = false;  // a reader has taken the demuxer
};

}  // namespace platform::media
