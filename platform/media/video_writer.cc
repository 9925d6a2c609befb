#include "platform/media/video_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/errors.h"
#include "platform/media/ffmpeg_support.h"
#include "platform/write_all.h"

#include <libyuv/convert_from_argb.h>
#include <libyuv/planar_functions.h>

extern "C" {
#include <libavutil/opt.h>
}

namespace platform::media {
namespace {

// x264's speed preset, chosen with bench/x264_presets.sh. On mask frames every preset that keeps
// the High profile codes nearly losslessly (PSNR above 68 dB, SSIM 0.9999) and stays far below
// 1.8 Mbit/s, so the bit rate buys no visible quality and speed decides: superfast is the fastest
// that keeps High (ultrafast drops CABAC and 8x8 transforms and falls to Constrained Baseline).
constexpr const char* kX264Preset = "superfast";
constexpr int kFileBufferBytes = 1 << 16;

Error videoError(VideoError code, std::string description) {
  return makeError(kVideoDomain, code, std::move(description));
}

int writeBytes(void* opaque, uint8_t* data, int size) {
  const int file = *static_cast<int*>(opaque);
  if (const std::error_code failed = writeAll(file, data, static_cast<size_t>(size))) return AVERROR(failed.value());
  return size;
}

int64_t seekTo(void* opaque, int64_t offset, int whence) {
  const int file = *static_cast<int*>(opaque);
  if (whence & AVSEEK_SIZE) {
    struct stat facts {};
    return ::fstat(file, &facts) == 0 ? static_cast<int64_t>(facts.st_size) : AVERROR(errno);
  }
  const off_t at = ::lseek(file, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

// The declared rate as a fraction for the encoder, which sets the level from it.
AVRational codedFrameRate(double frameRate) {
  const bool usable = std::isfinite(frameRate) && frameRate > 0 && frameRate <= 1'000'000;
  return av_d2q(usable ? frameRate : kAssumedFrameRate, 1'000'000);
}

// `a` + `b`, held to the 64-bit range.
int64_t addClamped(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? INT64_MAX : INT64_MIN;
}

bool possibleForH264(const VideoWriterSettings& s) {
  return s.width >= 2 && s.height >= 2 && s.width % 2 == 0 && s.height % 2 == 0 && s.width <= kMaxPixelBufferSide &&
         s.height <= kMaxPixelBufferSide && s.timeScale > 0 && s.averageBitRate > 0 && s.maxKeyFrameInterval >= 1 &&
         (s.frameFormat == PixelFormat::bgra8 || s.frameFormat == PixelFormat::gray8);
}

}  // namespace

struct VideoWriter::Output {
  int file = -1;  // read by the file callbacks
  ffmpeg::Codec codec;
  ffmpeg::Frame frame;
  ffmpeg::Packet packet;
  AVFormatContext* format = nullptr;
  AVIOContext* io = nullptr;
  AVStream* stream = nullptr;

  ~Output() {
    if (format != nullptr) avformat_free_context(format);  // leaves the custom file context alone
    if (io != nullptr) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
  }

  Result<void> openEncoder(const VideoWriterSettings& settings);
  Result<void> openMuxer(const VideoWriterSettings& settings);
};

Result<void> VideoWriter::Output::openEncoder(const VideoWriterSettings& s) {
  const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
  if (h264 == nullptr) return videoError(VideoError::cannotEncode, "no H.264 encoder is installed");
  codec.reset(avcodec_alloc_context3(h264));
  frame.reset(av_frame_alloc());
  packet.reset(av_packet_alloc());
  if (!codec || !frame || !packet) return videoError(VideoError::outOfMemory, "out of memory");

  codec->width = s.width;
  codec->height = s.height;
  codec->pix_fmt = AV_PIX_FMT_YUV420P;
  codec->time_base = AVRational{1, s.timeScale};
  // Without it x264 takes the time scale for the rate, and the level with it: 12800 "frames" a
  // second would declare level 6.2 for any size.
  codec->framerate = codedFrameRate(s.frameRate);
  codec->bit_rate = s.averageBitRate;
  codec->gop_size = s.maxKeyFrameInterval;
  codec->max_b_frames = 0;  // frames leave the encoder in the order they came
  // Full range, tagged so: a white mask decodes as 255, not 235. The matrix is BT.601's, the one
  // the conversion in append uses.
  codec->color_range = AVCOL_RANGE_JPEG;
  codec->colorspace = AVCOL_SPC_SMPTE170M;
  codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // MPEG-4 keeps the parameter sets in the track header
  codec->thread_count = 0;
  av_opt_set(codec->priv_data, "preset", kX264Preset, 0);
  av_opt_set(codec->priv_data, "profile", "high", 0);
  const int opened = avcodec_open2(codec.get(), h264, nullptr);
  if (opened < 0)
    return videoError(VideoError::cannotEncode, "the H.264 encoder did not open: " + ffmpeg::describe(opened));

  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = s.width;
  frame->height = s.height;
  frame->color_range = AVCOL_RANGE_JPEG;
  frame->colorspace = AVCOL_SPC_SMPTE170M;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return videoError(VideoError::outOfMemory, "out of memory");
  return {};
}

Result<void> VideoWriter::Output::openMuxer(const VideoWriterSettings& s) {
  if (avformat_alloc_output_context2(&format, nullptr, "mp4", nullptr) < 0 || format == nullptr) {
    return videoError(VideoError::outOfMemory, "out of memory");
  }
  auto* buffer = static_cast<uint8_t*>(av_malloc(kFileBufferBytes));
  if (buffer != nullptr) io = avio_alloc_context(buffer, kFileBufferBytes, 1, &file, nullptr, writeBytes, seekTo);
  if (io == nullptr) {
    av_free(buffer);
    return videoError(VideoError::outOfMemory, "out of memory");
  }
  format->pb = io;
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  stream = avformat_new_stream(format, nullptr);
  if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0) {
    return videoError(VideoError::outOfMemory, "out of memory");
  }
  stream->time_base = codec->time_base;
  AVDictionary* options = nullptr;
  // The track keeps the asked time scale (the muxer would pick its own), and so does the movie,
  // so that the edit placing a first frame that is not at zero is exact too.
  av_dict_set_int(&options, "video_track_timescale", s.timeScale, 0);
  av_dict_set_int(&options, "movie_timescale", s.timeScale, 0);
  const int written = avformat_write_header(format, &options);
  av_dict_free(&options);
  if (written < 0) {
    return videoError(VideoError::cannotWriteFile,
                      "the file's header could not be written: " + ffmpeg::describe(written));
  }
  return {};
}

VideoWriter::VideoWriter(std::string path, int file, uint64_t device, uint64_t inode)
    : path_(std::move(path)), file_(file), device_(device), inode_(inode) {}

VideoWriter::~VideoWriter() {
  if (finisher_.joinable()) finisher_.join();
  output_.reset();
  closeFile();
}

Result<std::unique_ptr<VideoWriter>> VideoWriter::create(const std::string& path) {
  ffmpeg::keepQuiet();
  // O_EXCL: another process that made an entry at the path after the caller looked is never
  // overwritten, and a link at the path is not followed.
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file < 0) {
    const int reason = errno;
    if (reason == EEXIST) return videoError(VideoError::fileExists, "the file exists already");
    return videoError(VideoError::cannotCreate, std::string("the file could not be created: ") + std::strerror(reason));
  }
  struct stat facts {};
  ::fstat(file, &facts);
  return std::unique_ptr<VideoWriter>(new VideoWriter(path, file, facts.st_dev, facts.st_ino));
}

Error VideoWriter::stopWith(Error failure) {
  failure_ = failure;
  status_ = VideoWriterStatus::failed;
  return failure;
}

Result<void> VideoWriter::start(const VideoWriterSettings& settings) {
  if (status() != VideoWriterStatus::notStarted || file_ < 0) {
    return videoError(VideoError::wrongState, "writing has begun already or was stopped");
  }
  if (!possibleForH264(settings)) {
    return stopWith(videoError(VideoError::cannotEncode, "the video settings are not ones an H.264 track can have"));
  }
  settings_ = settings;
  auto output = std::make_unique<Output>();
  output->file = file_;
  if (Result<void> opened = output->openEncoder(settings); !opened) return stopWith(opened.error());
  if (Result<void> opened = output->openMuxer(settings); !opened) return stopWith(opened.error());
  output_ = std::move(output);
  pool_ = std::make_unique<PixelBufferPool>(settings.frameFormat, settings.width, settings.height, 4);
  status_ = VideoWriterStatus::writing;
  return {};
}

bool VideoWriter::readyForMoreFrames() const { return status() == VideoWriterStatus::writing && !finished_; }

Result<void> VideoWriter::append(const PixelBuffer& frame, MediaTime time) {
  // A misplaced call changes nothing: a file being finished is finished as it was.
  if (finished_) return videoError(VideoError::wrongState, "a frame came after the last one");
  if (status() == VideoWriterStatus::failed) return *failure_;
  if (status() != VideoWriterStatus::writing)
    return videoError(VideoError::wrongState, "writing has not begun or was cancelled");
  if (frame.format != settings_.frameFormat || frame.width != settings_.width || frame.height != settings_.height ||
      frame.data == nullptr) {
    return stopWith(videoError(VideoError::wrongFrame, std::string("a frame is not a ") +
                                                           (settings_.frameFormat == PixelFormat::gray8 ? "grey" : "BGRA") +
                                                           " picture of the video's size"));
  }
  if (!time.isValid()) return stopWith(videoError(VideoError::wrongState, "a frame came without a valid time"));
  int64_t tick = time.valueInScale(settings_.timeScale);
  if (!wroteFrame_ && tick < 0) shift_ = tick == INT64_MIN ? INT64_MAX : -tick;
  tick = addClamped(tick, shift_);
  if (wroteFrame_ && tick <= lastTick_) tick = addClamped(lastTick_, 1);

  AVFrame* picture = output_->frame.get();
  if (av_frame_make_writable(picture) < 0) return stopWith(videoError(VideoError::outOfMemory, "out of memory"));
  if (frame.format == PixelFormat::gray8) {
    // What the conversion below makes of a grey BGRA picture: luma v for grey v, and colour
    // differences of 128 (none) everywhere.
    libyuv::CopyPlane(frame.data, static_cast<int>(frame.bytesPerRow), picture->data[0], picture->linesize[0],
                      frame.width, frame.height);
    const int chromaWidth = (frame.width + 1) / 2, chromaHeight = (frame.height + 1) / 2;
    libyuv::SetPlane(picture->data[1], picture->linesize[1], chromaWidth, chromaHeight, 128);
    libyuv::SetPlane(picture->data[2], picture->linesize[2], chromaWidth, chromaHeight, 128);
  } else {
    // Full-range BT.601 4:2:0 ("J420"): grey v gives luma v exactly. libyuv's ARGB is our BGRA
    // byte order. It is many times faster here than libswscale, which has no direct path from
    // BGRA.
    libyuv::ARGBToJ420(frame.data, static_cast<int>(frame.bytesPerRow), picture->data[0], picture->linesize[0],
                       picture->data[1], picture->linesize[1], picture->data[2], picture->linesize[2], frame.width,
                       frame.height);
  }
  picture->pts = tick;
  const int sent = avcodec_send_frame(output_->codec.get(), picture);
  if (sent < 0)
    return stopWith(videoError(VideoError::cannotEncode, "the encoder refused a frame: " + ffmpeg::describe(sent)));
  if (wroteFrame_) lastInterval_ = tick - lastTick_;
  lastTick_ = tick;
  wroteFrame_ = true;
  coding_.push_back(tick);
  return writePackets(false);
}

Result<void> VideoWriter::writePackets(bool flushing) {
  AVPacket* packet = output_->packet.get();
  for (;;) {
    const int received = avcodec_receive_packet(output_->codec.get(), packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return {};
    if (received < 0)
      return stopWith(videoError(VideoError::cannotEncode, "the encoder failed: " + ffmpeg::describe(received)));
    // Frames leave the encoder in the order they came. A frame lasts until the next one; the
    // last lasts as long as the one before it, so that the track's length covers it and players
    // show it.
    if (!coding_.empty()) coding_.pop_front();
    if (!coding_.empty()) {
      packet->duration = coding_.front() - packet->pts;
    } else if (flushing) {
      packet->duration = lastInterval_ > 0 ? lastInterval_ : std::max<int64_t>(1, settings_.timeScale / 30);
    }
    packet->stream_index = 0;
    av_packet_rescale_ts(packet, output_->codec->time_base, output_->stream->time_base);
    const int wrote = av_write_frame(output_->format, packet);
    av_packet_unref(packet);
    if (wrote < 0) {
      return stopWith(
          videoError(VideoError::cannotWriteFile, "the file could not be written: " + ffmpeg::describe(wrote)));
    }
  }
}

void VideoWriter::finish(std::function<void(Result<void>)> completion) {
  if (finisher_.joinable()) finisher_.join();
  finished_ = true;
  finisher_ = std::thread([this, completion = std::move(completion)] {
    Result<void> outcome = completeFile();
    if (completion) completion(std::move(outcome));
  });
}

Result<void> VideoWriter::completeFile() {
  switch (status()) {
    case VideoWriterStatus::writing:
      break;
    case VideoWriterStatus::completed:
      return {};
    case VideoWriterStatus::failed:
      return *failure_;
    default:
      return videoError(VideoError::wrongState, "writing has not begun or was cancelled");
  }
  const int flushed = avcodec_send_frame(output_->codec.get(), nullptr);
  if (flushed < 0 && flushed != AVERROR_EOF) {
    return stopWith(videoError(VideoError::cannotEncode, "the encoder failed: " + ffmpeg::describe(flushed)));
  }
  if (Result<void> written = writePackets(true); !written) return written;
  const int trailer = av_write_trailer(output_->format);
  if (trailer < 0) {
    return stopWith(
        videoError(VideoError::cannotWriteFile, "the file could not be completed: " + ffmpeg::describe(trailer)));
  }
  avio_flush(output_->io);
  if (output_->io->error < 0) {
    return stopWith(videoError(VideoError::cannotWriteFile,
                               "the file could not be completed: " + ffmpeg::describe(output_->io->error)));
  }
  const int file = file_;
  file_ = -1;
  if (::close(file) != 0) {
    return stopWith(videoError(VideoError::cannotWriteFile,
                               std::string("the file could not be completed: ") + std::strerror(errno)));
  }
  status_ = VideoWriterStatus::completed;
  return {};
}

void VideoWriter::closeFile() {
  if (file_ >= 0) ::close(file_);
  file_ = -1;
}

void VideoWriter::cancel() {
  if (finisher_.joinable()) finisher_.join();
  if (status() == VideoWriterStatus::completed || status() == VideoWriterStatus::cancelled) return;
  status_ = VideoWriterStatus::cancelled;
  output_.reset();
  pool_.reset();
  closeFile();
  removeOwnFile();
}

void VideoWriter::discard() {
  cancel();
  if (status() == VideoWriterStatus::completed) removeOwnFile();
}

void VideoWriter::removeOwnFile() {
  // Only the entry this writer made: if something else now stands at the path, it stays.
  struct stat facts {};
  if (::lstat(path_.c_str(), &facts) == 0 && facts.st_dev == device_ && facts.st_ino == inode_) ::unlink(path_.c_str());
}

}  // namespace platform::media
