// Helpers for the media services built on FFmpeg's libraries. Internal to platform/media: nothing
// outside this folder sees an FFmpeg type.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace platform::media::ffmpeg {

// FFmpeg logs to standard error by default; the programs own standard error, so the libraries
// are kept quiet. Safe to call from any thread, any number of times.
void keepQuiet();

// FFmpeg's sentence for an error code.
std::string describe(int code);

struct FreeFormatInput {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct FreeCodec {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FreeFrame {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct FreePacket {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FreeScaler {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using FormatInput = std::unique_ptr<AVFormatContext, FreeFormatInput>;
using Codec = std::unique_ptr<AVCodecContext, FreeCodec>;
using Frame = std::unique_ptr<AVFrame, FreeFrame>;
using Packet = std::unique_ptr<AVPacket, FreePacket>;
using Scaler = std::unique_ptr<SwsContext, FreeScaler>;

}  // namespace platform::media::ffmpeg
