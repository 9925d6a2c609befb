#include "person_cutout/run_state.h"

namespace person_cutout {

std::vector<std::string> args;
unsigned quality = 0;
std::string source;
std::string target;

std::shared_ptr<platform::media::VideoAsset> asset;
platform::media::VideoTrack track;
bool turned = false;
platform::media::FrameSize shown;
std::unique_ptr<platform::media::VideoReader> reader;
double longest = 0;
double shrink = 1;
int64_t width = 0;
int64_t height = 0;
std::unique_ptr<platform::media::VideoWriter> writer;
platform::vision::PersonMaskRequest request;
std::unique_ptr<platform::vision::SequenceRequestHandler> vision;
platform::media::RenderContext context;
int64_t expected = 1;

int64_t frames = 0;
int64_t personFrames = 0;
double covered = 0;
std::vector<double> tops;
platform::media::MediaTime last = platform::media::kMediaTimeZero;
bool readFailed = false;
std::chrono::steady_clock::time_point started;

std::unique_ptr<std::binary_semaphore> done;
platform::Result<void> finishing;
double seconds = 0;
double top = 0;

}  // namespace person_cutout
