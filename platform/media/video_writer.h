// Writing an H.264 video into a new MPEG-4 file, one BGRA frame at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/media/media_time.h"
#include "platform/media/pixel_buffer.h"
#include "platform/media/video_asset.h"
#include "platform/result.h"

namespace platform::media {

enum class H264ProfileLevel {
  highAutoLevel,  // High profile, the level chosen by the encoder from the size and rate
};

struct VideoWriterSettings {
  int width = 0;   // even, 2 or more
  int height = 0;  // even, 2 or more
  int64_t averageBitRate = 0;     // bits per second
  int maxKeyFrameInterval = 0;    // a key frame at least every this many frames
  bool allowFrameReordering = false;  // false: no B-frames, frames are coded in the order shown
  H264ProfileLevel profileLevel = H264ProfileLevel::highAutoLevel;
  int32_t mediaTimeScale = 600;   // ticks per second of the video track in the file
  bool expectsMediaDataInRealTime = false;  // false: the writer may hold the caller back
};

enum class VideoWriterStatus { unknown = 0, writing = 1, completed = 2, failed = 3, cancelled = 4 };

// The file holds one video track and nothing else. The frames are coded in full range (0 to 255)
// and the stream says so, so white decodes as 255 and black as 0.
//
// Calls come from one thread; only the completion of finishWriting runs on a thread of its own.
class VideoWriter {
 public:
  // Creates the file at `path`, which must not exist: an existing entry of any kind, a link
  // included, is never replaced (VideoError::fileExists); VideoError::cannotCreate when the file
  // cannot be made for another reason. Nothing is written into it before startWriting.
  static Result<std::unique_ptr<VideoWriter>> create(const std::string& path);
  ~VideoWriter();
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  // The video track's settings. Call once, before startWriting.
  void setVideoSettings(const VideoWriterSettings& settings);

  // Opens the encoder and writes the file's header. False when that fails; error() tells why.
  bool startWriting();
  // The time on the track's time line at which the file's time line starts.
  void startSession(MediaTime sourceTime);

  // BGRA buffers of the track's size, once writing has begun; nothing before.
  PixelBufferPool* pixelBufferPool() { return pool_.get(); }

  // True while the writer takes another frame without holding the caller.
  bool isReadyForMoreMediaData() const;

  // Codes `frame` (bgra8 of the track's size) shown at `time`. Times are kept in the track's time
  // scale, rounded to the nearest tick; a time that does not come after the last one written,
  // once rounded, is moved one tick after it, so the file's times always rise. False, with the
  // status failed, when the frame is refused.
  bool appendPixelBuffer(const PixelBuffer& frame, MediaTime time);

  // No more frames follow.
  void markAsFinished();

  // Codes the frames still held, completes the file and closes it, on a thread of its own; then
  // calls `completion` once, on that thread, whether the file was completed or not.
  void finishWriting(std::function<void()> completion);

  // Stops writing and removes the file this writer created, unless another entry has taken its
  // place at the path since. Nothing is removed once the file is completed.
  void cancelWriting();

  VideoWriterStatus status() const { return status_.load(); }
  // Why writing failed; nothing while it has not.
  std::optional<Error> error() const;


 private:
  struct Encoder;  // FFmpeg's side
  VideoWriter(std::string path, int file, uint64_t device, uint64_t inode);
  void failWith(VideoError code, std::string description);
  bool writePackets(bool flushing);
  void finish();
  void closeFile();

  std::string path_;
  int file_ = -1;
  uint64_t device_ = 0;
  uint64_t inode_ = 0;
  VideoWriterSettings settings_;
  std::unique_ptr<Encoder> encoder_;
  std::unique_ptr<PixelBufferPool> pool_;
  int64_t lastTick_ = 0;
  int64_t lastInterval_ = 0;     // ticks between the last two frames appended
  std::deque<int64_t> coding_;   // ticks of the frames appended and not yet out of the encoder
  bool wroteFrame_ = false;
  bool finished_ = false;
  std::atomic<VideoWriterStatus> status_{VideoWriterStatus::unknown};
  mutable std::mutex errorLock_;  // the finishing thread may set the error
  std::optional<Error> error_;
  std::thread finisher_;
};

}  // namespace platform::media
