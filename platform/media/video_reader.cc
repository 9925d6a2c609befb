#include "platform/media/video_reader.h"

#include <cstring>

#include "platform/errors.h"
#include "platform/media/container.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace platform::media {
namespace {

Error videoError(VideoError code, std::string description) {
  return makeError(kVideoDomain, code, std::move(description));
}

// The full-range twins of the deprecated "J" formats, which say their range by name.
AVPixelFormat withoutRangeName(AVPixelFormat format, bool& fullRange) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
      fullRange = true;
      return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
      fullRange = true;
      return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
      fullRange = true;
      return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
      fullRange = true;
      return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
      fullRange = true;
      return AV_PIX_FMT_YUV411P;
    default:
      return format;
  }
}

class FfmpegVideoReader final : public VideoReader {
 public:
  FfmpegVideoReader(std::shared_ptr<VideoAsset> asset, int stream, ffmpeg::Codec decoder,
                    std::optional<AffineTransform> turn)
      : asset_(std::move(asset)), stream_(stream), decoder_(std::move(decoder)), turn_(turn) {}

  Result<void> start() override;
  Result<std::optional<VideoSample>> nextSample() override;

 private:
  enum class State { notStarted, reading, ended, failed };

  Error stopWith(VideoError code, std::string description) {
    state_ = State::failed;
    failure_ = videoError(code, std::move(description));
    return *failure_;
  }
  // Feeds the decoder one packet of the track, or its end.
  Result<void> feedDecoder();
  Result<VideoSample> sampleOf(const AVFrame& frame);
  Result<std::shared_ptr<PixelBuffer>> toBgra(const AVFrame& frame);
  Result<std::shared_ptr<PixelBuffer>> turned(const PixelBuffer& stored);
  static std::shared_ptr<PixelBuffer> take(std::unique_ptr<PixelBufferPool>& pool, int width, int height);

  std::shared_ptr<VideoAsset> asset_;
  int stream_;
  ffmpeg::Codec decoder_;
  std::optional<AffineTransform> turn_;  // set when frames are turned upright
  ffmpeg::Packet packet_;
  ffmpeg::Frame frame_;
  bool packetWaiting_ = false;  // packet_ holds a packet the decoder could not take yet
  bool draining_ = false;       // the demuxer has no more packets; the decoder gives out the rest
  ffmpeg::Scaler scaler_;
  struct ConversionKey {
    int width = 0, height = 0, format = -1, colourSpace = -1;
    bool fullRange = false;
    bool operator==(const ConversionKey&) const = default;
  } conversion_;
  std::unique_ptr<PixelBufferPool> storedPool_;
  std::unique_ptr<PixelBufferPool> uprightPool_;
  MediaTime lastTime_ = kMediaTimeZero;
  State state_ = State::notStarted;
  std::optional<Error> failure_;  // why reading stopped, once state_ is failed
};

Result<void> FfmpegVideoReader::start() {
  if (state_ != State::notStarted) return videoError(VideoError::wrongState, "reading has begun already");
  packet_.reset(av_packet_alloc());
  frame_.reset(av_frame_alloc());
  if (!packet_ || !frame_) return stopWith(VideoError::outOfMemory, "out of memory");
  const int opened = avcodec_open2(decoder_.get(), nullptr, nullptr);
  if (opened < 0) return stopWith(VideoError::noDecoder, "the decoder did not open: " + ffmpeg::describe(opened));
  state_ = State::reading;
  return {};
}

// True when the container's index places some of the track's data past the end of the file: a
// file cut between two frames ends cleanly, without a partial packet, but not where its index
// says.
bool indexReachesPastEnd(AVFormatContext* format, AVStream* stream) {
  const int64_t fileSize = format->pb != nullptr ? avio_size(format->pb) : -1;
  if (fileSize < 0) return false;
  const int entries = avformat_index_get_entries_count(stream);
  for (int i = 0; i < entries; ++i) {
    const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
    if (entry != nullptr && entry->pos >= 0 && entry->size > 0 && entry->pos > fileSize - entry->size) return true;
  }
  return false;
}

Result<void> FfmpegVideoReader::feedDecoder() {
  AVFormatContext* format = asset_->container().format.get();
  while (!packetWaiting_) {
    const int read = av_read_frame(format, packet_.get());
    if (read == AVERROR_EOF) {
      if (indexReachesPastEnd(format, format->streams[stream_])) {
        return stopWith(VideoError::damaged, "the video ends before the frames its index lists");
      }
      draining_ = true;
      avcodec_send_packet(decoder_.get(), nullptr);
      return {};
    }
    if (read < 0)
      return stopWith(VideoError::damaged, "the video could not be read further: " + ffmpeg::describe(read));
    if (packet_->stream_index != stream_) {
      av_packet_unref(packet_.get());
      continue;
    }
    // A packet cut short means the file broke off before the data its index promises.
    if (packet_->flags & AV_PKT_FLAG_CORRUPT) {
      av_packet_unref(packet_.get());
      return stopWith(VideoError::damaged, "the video breaks off or its data is damaged");
    }
    packetWaiting_ = true;
  }
  const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
  if (sent == AVERROR(EAGAIN)) return {};  // take frames out first, then send it again
  packetWaiting_ = false;
  av_packet_unref(packet_.get());
  if (sent == AVERROR(ENOMEM)) return stopWith(VideoError::outOfMemory, "out of memory decoding the video");
  return {};  // a packet that does not decode is skipped
}

Result<std::optional<VideoSample>> FfmpegVideoReader::nextSample() {
  switch (state_) {
    case State::notStarted:
      return videoError(VideoError::wrongState, "reading has not begun");
    case State::failed:
      return *failure_;
    case State::ended:
      return std::optional<VideoSample>();
    case State::reading:
      break;
  }
  for (;;) {
    const int received = avcodec_receive_frame(decoder_.get(), frame_.get());
    if (received == 0) {
      Result<VideoSample> sample = sampleOf(*frame_);
      av_frame_unref(frame_.get());
      if (!sample) return sample.error();
      return std::optional<VideoSample>(std::move(sample.value()));
    }
    if (received == AVERROR_EOF || (received == AVERROR(EAGAIN) && draining_)) {
      state_ = State::ended;
      return std::optional<VideoSample>();
    }
    if (received == AVERROR(ENOMEM)) return stopWith(VideoError::outOfMemory, "out of memory decoding the video");
    if (received != AVERROR(EAGAIN)) continue;  // a frame that did not decode
    if (Result<void> fed = feedDecoder(); !fed) return fed.error();
  }
}

Result<VideoSample> FfmpegVideoReader::sampleOf(const AVFrame& frame) {
  Result<std::shared_ptr<PixelBuffer>> picture = toBgra(frame);
  if (picture && turn_) picture = turned(*picture.value());
  if (!picture) return picture.error();
  const AVRational base = asset_->container().format->streams[stream_]->time_base;
  const int64_t stamp = frame.best_effort_timestamp;
  // A time that the stream lacks, or one beyond the 64-bit range, repeats the time before it.
  int64_t value = 0;
  if (stamp != AV_NOPTS_VALUE && !__builtin_mul_overflow(stamp, static_cast<int64_t>(base.num), &value)) {
    lastTime_ = MediaTime{value, base.den};
  }
  return VideoSample{std::move(picture.value()), lastTime_};
}

std::shared_ptr<PixelBuffer> FfmpegVideoReader::take(std::unique_ptr<PixelBufferPool>& pool, int width, int height) {
  if (!pool || pool->width() != width || pool->height() != height) {
    pool = std::make_unique<PixelBufferPool>(PixelFormat::bgra8, width, height, 4);
  }
  return pool->makeBuffer();
}

Result<std::shared_ptr<PixelBuffer>> FfmpegVideoReader::toBgra(const AVFrame& frame) {
  if (frame.width < 1 || frame.height < 1 || frame.width > kMaxPixelBufferSide || frame.height > kMaxPixelBufferSide) {
    return stopWith(VideoError::frameTooLarge, "a frame of " + std::to_string(frame.width) + " x " +
                                                   std::to_string(frame.height) +
                                                   " pixels is beyond what this reader converts");
  }
  bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
  const AVPixelFormat format = withoutRangeName(static_cast<AVPixelFormat>(frame.format), fullRange);
  const ConversionKey key{frame.width, frame.height, format, frame.colorspace, fullRange};
  if (!(key == conversion_) || !scaler_) {
    scaler_.reset(sws_getContext(frame.width, frame.height, format, frame.width, frame.height, AV_PIX_FMT_BGRA,
                                 SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler_) {
      return stopWith(VideoError::damaged, std::string("frames of this pixel layout cannot be converted: ") +
                                               (av_get_pix_fmt_name(format) ? av_get_pix_fmt_name(format) : "unknown"));
    }
    // The frame's own colour matrix and range; RGB is always full range.
    const int* coefficients = sws_getCoefficients(frame.colorspace);
    sws_setColorspaceDetails(scaler_.get(), coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16, 1 << 16);
    conversion_ = key;
  }
  std::shared_ptr<PixelBuffer> picture = take(storedPool_, frame.width, frame.height);
  if (!picture) return stopWith(VideoError::outOfMemory, "out of memory for a frame");
  uint8_t* planes[4] = {picture->data, nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(picture->bytesPerRow), 0, 0, 0};
  sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
  return picture;
}

Result<std::shared_ptr<PixelBuffer>> FfmpegVideoReader::turned(const PixelBuffer& stored) {
  const AffineTransform& t = *turn_;
  const int a = static_cast<int>(t.a), b = static_cast<int>(t.b), c = static_cast<int>(t.c), d = static_cast<int>(t.d);
  const int width = std::abs(a) * stored.width + std::abs(c) * stored.height;
  const int height = std::abs(b) * stored.width + std::abs(d) * stored.height;
  std::shared_ptr<PixelBuffer> upright = take(uprightPool_, width, height);
  if (!upright) return stopWith(VideoError::outOfMemory, "out of memory for a frame");
  // Stored pixel (x, y) lands on (a x + c y, b x + d y), moved so that the corners stay in the
  // picture: a negative factor counts from the far side.
  const int offsetX = (a < 0 ? stored.width - 1 : 0) + (c < 0 ? stored.height - 1 : 0);
  const int offsetY = (b < 0 ? stored.width - 1 : 0) + (d < 0 ? stored.height - 1 : 0);
  const ptrdiff_t stepX = a * 4 + b * upright->bytesPerRow;  // one stored pixel to the right
  const ptrdiff_t stepY = c * 4 + d * upright->bytesPerRow;  // one stored row down
  for (int y = 0; y < stored.height; ++y) {
    const uint8_t* in = stored.row(y);
    uint8_t* out = upright->row(offsetY) + static_cast<ptrdiff_t>(offsetX) * 4 + y * stepY;
    for (int x = 0; x < stored.width; ++x, out += stepX) std::memcpy(out, in + 4 * x, 4);
  }
  return upright;
}

}  // namespace

Result<std::unique_ptr<VideoReader>> makeVideoReader(std::shared_ptr<VideoAsset> asset, const VideoTrack& track,
                                                     FrameOrientation orientation) {
  Container& container = asset->container();
  if (container.reading) return videoError(VideoError::alreadyReading, "the video is being read already");
  AVFormatContext* format = container.format.get();
  if (track.index < 0 || static_cast<unsigned>(track.index) >= format->nb_streams) {
    return videoError(VideoError::noDecoder, "the video has no such track");
  }
  const AVStream* stream = format->streams[track.index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) return videoError(VideoError::noDecoder, "this kind of video cannot be decoded here");
  ffmpeg::Codec decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) {
    return videoError(VideoError::outOfMemory, "out of memory");
  }
  decoder->pkt_timebase = stream->time_base;
  decoder->thread_count = 0;  // as many as the machine has
  // Only the chosen track is demuxed.
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    format->streams[i]->discard = static_cast<int>(i) == track.index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  }
  std::optional<AffineTransform> turn;
  if (orientation == FrameOrientation::upright && !track.displayMatrix.isIdentity()) {
    const AffineTransform quarter = nearestQuarterTurn(track.displayMatrix);
    if (!quarter.isIdentity()) turn = quarter;
  }
  container.reading = true;
  return std::unique_ptr<VideoReader>(new FfmpegVideoReader(std::move(asset), track.index, std::move(decoder), turn));
}

}  // namespace platform::media
