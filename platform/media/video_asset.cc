#include "platform/media/video_asset.h"

#include <cmath>

#include "platform/errors.h"
#include "platform/media/container.h"

extern "C" {
#include <libavutil/display.h>
}

namespace platform::media {
namespace {

Error openError(const std::string& reason) {
  return makeError(kVideoDomain, VideoError::cannotOpen, "the file could not be opened as a video: " + reason);
}

// FFmpeg says "invalid data" both when no demuxer takes the file and when the one its name
// suggests finds nothing it knows (an MPEG-4 file without its index): either way no track can be
// listed.
Error unrecognisedError(const std::string& reason) {
  return makeError(kVideoDomain, VideoError::unrecognised, "the file holds no video that can be listed: " + reason);
}

AffineTransform displayMatrixOf(const AVStream* stream) {
  size_t size = 0;
  const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (data == nullptr || size < 9 * sizeof(int32_t)) return AffineTransform{};
  const auto* matrix = reinterpret_cast<const int32_t*>(data);
  // a, b, c, d, tx and ty are 16.16 fixed point; the projective column is ignored.
  auto fixed = [](int32_t value) { return value / 65536.0; };
  return AffineTransform{fixed(matrix[0]), fixed(matrix[1]), fixed(matrix[3]),
                         fixed(matrix[4]), fixed(matrix[6]), fixed(matrix[7])};
}

float declaredFrameRate(const AVStream* stream) {
  for (const AVRational rate : {stream->avg_frame_rate, stream->r_frame_rate}) {
    if (rate.num > 0 && rate.den > 0) return static_cast<float>(av_q2d(rate));
  }
  return 0.0f;
}

}  // namespace

AffineTransform nearestQuarterTurn(const AffineTransform& transform) {
  const double angle = std::atan2(transform.b, transform.a);
  const long quarters = std::lround(angle / (M_PI / 2));
  const int turns = static_cast<int>(((quarters % 4) + 4) % 4);
  static constexpr int kCos[4] = {1, 0, -1, 0};
  static constexpr int kSin[4] = {0, 1, 0, -1};
  const double a = kCos[turns], b = kSin[turns];
  const bool flipped = transform.a * transform.d - transform.b * transform.c < 0;
  return flipped ? AffineTransform{a, b, b, -a, 0, 0} : AffineTransform{a, b, -b, a, 0, 0};
}

FrameSize turnedSize(const AffineTransform& turn, FrameSize size) {
  return FrameSize{std::abs(turn.a) * size.width + std::abs(turn.c) * size.height,
                   std::abs(turn.b) * size.width + std::abs(turn.d) * size.height};
}

VideoAsset::VideoAsset(std::unique_ptr<Container> container) : container_(std::move(container)) {}
VideoAsset::~VideoAsset() = default;

Result<std::shared_ptr<VideoAsset>> VideoAsset::open(const std::string& path) {
  ffmpeg::keepQuiet();
  AVFormatContext* raw = avformat_alloc_context();
  if (raw == nullptr) return openError("out of memory");
  // Only local files: a name is never taken as a network address, and no demuxer may follow a
  // reference to another protocol.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  int status = avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, &options);
  av_dict_free(&options);
  // On failure FFmpeg has freed the context.
  if (status == AVERROR_INVALIDDATA) return unrecognisedError(ffmpeg::describe(status));
  if (status < 0) return openError(ffmpeg::describe(status));
  auto container = std::make_unique<Container>();
  container->format.reset(raw);
  status = avformat_find_stream_info(raw, nullptr);
  if (status < 0) return openError(ffmpeg::describe(status));

  std::shared_ptr<VideoAsset> asset(new VideoAsset(std::move(container)));
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVStream* stream = raw->streams[i];
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;  // cover art, not a picture track
    VideoTrack track;
    track.index = static_cast<int>(i);
    track.displayMatrix = displayMatrixOf(stream);
    track.storedSize =
        FrameSize{static_cast<double>(stream->codecpar->width), static_cast<double>(stream->codecpar->height)};
    track.uprightSize = track.displayMatrix.isIdentity()
                            ? track.storedSize
                            : turnedSize(nearestQuarterTurn(track.displayMatrix), track.storedSize);
    track.timeScale = stream->time_base.den;
    track.frameRate = declaredFrameRate(stream);
    asset->tracks_.push_back(track);
  }
  if (raw->duration != AV_NOPTS_VALUE && raw->duration > 0) {
    asset->duration_ = MediaTime{raw->duration, AV_TIME_BASE};
  }
  return asset;
}

}  // namespace platform::media
