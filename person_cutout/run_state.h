// The run state of `matte`: program-wide variables, each set once by the step that owns it, in
// the order the run takes (only the frame loop's counters change frame by frame), and kept until
// the process ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <semaphore>
#include <string>
#include <vector>

#include "platform/media/media_time.h"
#include "platform/media/render_context.h"
#include "platform/media/video_asset.h"
#include "platform/media/video_reader.h"
#include "platform/media/video_writer.h"
#include "platform/vision/segmentation/person_mask_request.h"
#include "platform/vision/sequence_request_handler.h"

namespace person_cutout {

// The command line: checks and messages.
extern std::vector<std::string> args;  // the process arguments, the program's name first
extern unsigned quality;               // the segmentation quality: 0 accurate, 1 balanced, 2 fast
extern std::string source;             // the input video's location
extern std::string target;             // the cut-out's location

// Reading the video and preparing the writer.
extern std::shared_ptr<platform::media::VideoAsset> asset;
extern platform::media::VideoTrack track;  // the first video track
extern bool turned;                        // the track's display matrix is not the identity
extern platform::media::FrameSize shown;   // the frame size as shown
extern std::unique_ptr<platform::media::VideoReader> reader;
extern double longest;  // the longer side of `shown`
extern double shrink;   // the scale of the cut-out, at most 1
extern int64_t width;   // the cut-out's size: even, 2 to 1280
extern int64_t height;
extern std::unique_ptr<platform::media::VideoWriter> writer;
extern platform::vision::PersonMaskRequest request;
extern std::unique_ptr<platform::vision::SequenceRequestHandler> vision;  // one for the whole sequence
extern platform::media::RenderContext context;                            // draws each stretched mask
extern int64_t expected;  // the expected number of frames, at least 1, for the progress lines

// The frame loop.
extern int64_t frames;                                 // frames appended to the cut-out
extern int64_t personFrames;                           // frames whose coverage was above 0.02
extern double covered;                                 // the sum of the frames' coverage
extern std::vector<double> tops;                       // the top row of the person, one per person frame that has one
extern platform::media::MediaTime last;                // the time the last frame was appended under
extern bool readFailed;                                // reading stopped on a failure, not at the end of the video
extern std::chrono::steady_clock::time_point started;  // just before the first frame was read

// Finishing.
extern std::unique_ptr<std::binary_semaphore> done;  // signalled once the writer has finished
extern platform::Result<void> finishing;             // how the writer's finishing went, set before `done` is signalled
extern double seconds;                               // from `started` until the writer finished
extern double top;  // the typical top: the middle of the sorted `tops`, 0 when there are none

}  // namespace person_cutout
