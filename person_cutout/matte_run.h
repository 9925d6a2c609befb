// What one run of `matte` works on: what its command line asked, and what the run has opened for
// it, in the order the steps open it. main builds it from the command line and hands it from step
// to step; nothing of it lives in a global.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/media/render_context.h"
#include "platform/media/video_asset.h"
#include "platform/media/video_reader.h"
#include "platform/media/video_writer.h"
#include "platform/vision/segmentation/person_segmenter.h"

namespace person_cutout {

struct MatteRun {
  // The command line.
  std::string source;  // the input video's location
  std::string target;  // the cut-out's location
  platform::vision::MaskQuality quality = platform::vision::MaskQuality::accurate;

  // The video.
  std::shared_ptr<platform::media::VideoAsset> asset;
  platform::media::VideoTrack track;                     // its first video track
  platform::media::FrameSize shown;                      // the frames' size as shown, upright
  std::unique_ptr<platform::media::VideoReader> reader;  // the track's frames, upright

  // The cut-out.
  int64_t width = 0;  // even, 2 to 1280
  int64_t height = 0;
  std::unique_ptr<platform::media::VideoWriter> writer;
  std::unique_ptr<platform::vision::PersonSegmenter> segmenter;  // one for the whole sequence of frames
  platform::media::RenderContext context;                        // draws each stretched mask
  int64_t expected = 1;  // the expected number of frames, at least 1, for the progress lines
};

}  // namespace person_cutout
