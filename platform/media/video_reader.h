// Reading the frames of one video track, in presentation order, as BGRA pictures.
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
  std::shared_ptr<PixelBuffer> imageBuffer;  // may be empty: a sample without a picture
  MediaTime presentationTime = kMediaTimeZero;
};

enum class VideoReaderStatus { unknown = 0, reading = 1, completed = 2, failed = 3, cancelled = 4 };

enum class FrameOrientation {
  asStored,  // the frames as the file stores them
  upright,   // the frames turned and flipped as the track's display matrix says
};

class VideoReader {
 public:
  virtual ~VideoReader() = default;

  // Begins reading. False when reading cannot begin (the decoder does not open, or reading has
  // begun already); the status is then failed.
  virtual bool startReading() = 0;

  // The next sample in presentation order, or nothing once the track is read to its end or
  // reading failed (status() tells them apart). The picture is a bgra8 buffer of the frame's own
  // size; the reader lends it from a pool and takes it back when the caller lets go of it.
  virtual std::optional<VideoSample> copyNextSampleBuffer() = 0;

  virtual VideoReaderStatus status() const = 0;
  // Why reading failed; nothing while it has not.
  virtual std::optional<Error> error() const = 0;
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
