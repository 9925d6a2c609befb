// Writing an H.264 video into a new MPEG-4 file, one BGRA (or grey) frame at a time.
//
// Needs: a path where nothing exists yet, the track's settings, then frames of the track's size
// under rising times. Gives: a complete file, or a failure of the video domain (platform/errors.h)
// and no file left behind once the caller cancels. One writer belongs to one thread: its calls
// come from that thread, and only the finishing runs on a thread of its own. The buffers of its
// pool may be filled, and let go of, on any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/media/media_time.h"
#include "platform/media/pixel_buffer.h"
#include "platform/media/video_asset.h"
#include "platform/result.h"

namespace platform::media {

// High profile, the level chosen by the encoder from the size and frame rate; frames are coded in
// the order they are shown (no B-frames).
struct VideoWriterSettings {
  int width = 0;                // even, 2 or more
  int height = 0;               // even, 2 or more
  int64_t averageBitRate = 0;   // bits per second
  int maxKeyFrameInterval = 0;  // a key frame at least every this many frames
  int32_t timeScale = 600;      // ticks per second of the video track in the file
  // Frames per second, as the source declares it: the level follows it (the time scale says
  // nothing about the rate). Not a positive finite number: taken as kAssumedFrameRate.
  double frameRate = 0;
  // The frames appended: bgra8, or gray8 for grey pictures, coded as their luma with neutral
  // colour (the same file as BGRA frames of those greys, without a quarter of the bytes to draw
  // and convert).
  PixelFormat frameFormat = PixelFormat::bgra8;
};

// The rate a track without a declared one is coded for.
inline constexpr double kAssumedFrameRate = 30;

enum class VideoWriterStatus { notStarted = 0, writing = 1, completed = 2, failed = 3, cancelled = 4 };

// The file holds one video track and nothing else. The frames are coded in full range (0 to 255)
// and the stream says so, so white decodes as 255 and black as 0. Frame times are the file's
// times: a first frame at 0.5 s is shown half a second into the file. A file shows nothing before
// its start, so a first frame before zero moves every frame later by as much: the track then
// starts at zero and every frame is shown.
class VideoWriter {
 public:
  // Creates the file at `path`, which must not exist: an existing entry of any kind, a link
  // included, is never replaced (VideoError::fileExists); VideoError::cannotCreate when the file
  // cannot be made for another reason. Nothing is written into it before start.
  static Result<std::unique_ptr<VideoWriter>> create(const std::string& path);
  ~VideoWriter();
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  // Opens the encoder for `settings` and writes the file's header. Call once: a second call fails
  // and changes nothing.
  Result<void> start(const VideoWriterSettings& settings);

  // Buffers of the track's size and frame format, once writing has begun; nothing before.
  PixelBufferPool* bufferPool() { return pool_.get(); }

  // True while the writer takes another frame without holding the caller back.
  bool readyForMoreFrames() const;

  // Codes `frame` (of the track's size and frame format) shown at `time`. Times are kept in the track's time
  // scale, rounded to the nearest tick; a time that does not come after the last one written,
  // once rounded, is moved one tick after it, so the file's times always rise. A refused frame
  // stops writing: this and every later call give the failure.
  Result<void> append(const PixelBuffer& frame, MediaTime time);

  // No more frames follow (a frame appended after this is refused, and the file is finished
  // without it). Codes the frames still held, completes the file and closes it, on a thread of
  // its own; then calls `completion` once, on that thread, with how it went: success once the
  // file is complete, otherwise the failure that stopped writing.
  void finish(std::function<void(Result<void>)> completion);

  // Stops writing and removes the file this writer created, unless another entry has taken its
  // place at the path since. Nothing is removed once the file is completed.
  void cancel();

  // As cancel, and a completed file is removed too: for a caller whose run was called off after
  // its file was finished.
  void discard();

  VideoWriterStatus status() const { return status_.load(); }

 private:
  struct Output;  // FFmpeg's side: the encoder and the muxer
  VideoWriter(std::string path, int file, uint64_t device, uint64_t inode);
  Error stopWith(Error failure);  // records why writing stopped, and stops it
  Result<void> writePackets(bool flushing);
  Result<void> completeFile();  // on the finishing thread
  void closeFile();
  void removeOwnFile();  // unlinks the path while it is still the entry this writer made

  std::string path_;
  int file_ = -1;
  uint64_t device_ = 0;
  uint64_t inode_ = 0;
  VideoWriterSettings settings_;
  std::unique_ptr<Output> output_;
  std::unique_ptr<PixelBufferPool> pool_;
  int64_t shift_ = 0;  // ticks added to every time: the first frame's distance before zero
  int64_t lastTick_ = 0;
  int64_t lastInterval_ = 0;    // ticks between the last two frames appended
  std::deque<int64_t> coding_;  // ticks of the frames appended and not yet out of the encoder
  bool wroteFrame_ = false;
  bool finished_ = false;
  std::atomic<VideoWriterStatus> status_{VideoWriterStatus::notStarted};
  std::optional<Error> failure_;  // why writing stopped; set before status_ turns failed
  std::thread finisher_;
};

}  // namespace platform::media
