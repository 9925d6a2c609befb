// Reading the frames of one video track, in presentation order, as BGRA pictures.
//
// Needs: an asset opened by VideoAsset::open and one of its tracks. Gives: every frame that
// decodes, each with its exact time, then the end; or a failure of the video domain
// (platform/errors.h). A reader and its asset belong to one thread at a time; the pictures it
// hands out may be read, and let go of, on any thread.
#pragma once

#include <memory>
#include <optional>

#include "platform/media/media_time.h"
#include "platform/media/pixel_buffer.h"
#include "platform/media/video_asset.h"
#include "platform/result.h"

namespace platform::media {

// One sample of a track: its picture and the time at which it is shown.
struct VideoSample {
  std::shared_ptr<PixelBuffer> picture;  // may be empty: a sample without a picture
  MediaTime time = kMediaTimeZero;
};

enum class FrameOrientation {
  asStored,  // the frames as the file stores them
  upright,   // the frames turned and flipped as the track's display matrix says
};

class VideoReader {
 public:
  virtual ~VideoReader() = default;

  // Begins reading. Fails when the decoder does not open (VideoError::noDecoder), or when
  // reading has begun already (VideoError::wrongState).
  virtual Result<void> start() = 0;

  // The next sample in presentation order; nothing once the track is read to its end; a failure
  // when reading broke off (and the same failure from every later call), or before start. The
  // picture is a bgra8 buffer of the frame's own size; the reader lends it from a pool and takes
  // it back when the caller lets go of it.
  virtual Result<std::optional<VideoSample>> nextSample() = 0;
};

// A reader of `track` of `asset`. One reader per asset. Fails with VideoError::noDecoder when the
// track's coding cannot be decoded here, VideoError::alreadyReading for a second reader.
//
// What the reader gives: every frame that decodes, in presentation order, each with its time as
// an exact fraction in the track's time scale (a frame without a time takes the time of the one
// before it, or zero). A packet that does not decode is skipped. Reading fails when the file
// breaks off before the data its index promises, or the container cannot be read further.
Result<std::unique_ptr<VideoReader>> makeVideoReader(std::shared_ptr<VideoAsset> asset, const VideoTrack& track,
                                                     FrameOrientation orientation);

}  // namespace platform::media
