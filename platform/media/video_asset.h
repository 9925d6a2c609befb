// A video file opened for reading: its video tracks, their geometry and timing.
//
// Needs: the path of a local file. Gives: what the file declares about its video tracks, or a
// failure of the video domain (platform/errors.h). An asset and the reader made from it belong
// to one thread at a time; the track descriptions are plain values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/media_time.h"
#include "platform/result.h"

namespace platform::media {

enum class VideoError : int64_t {
  cannotOpen = 1,      // not a file the container readers understand, or not readable at all
  noDecoder = 2,       // the track's coding has no decoder here
  alreadyReading = 3,  // an asset is read by one reader
  damaged = 4,         // the file breaks off or its data is damaged
  frameTooLarge = 5,   // a frame too large to convert safely
  outOfMemory = 6,
  fileExists = 7,        // the writer never replaces an existing entry
  cannotCreate = 8,      // the output file cannot be created (missing folder, no permission)
  cannotEncode = 9,      // the encoder cannot be set up or refuses a frame
  cannotWriteFile = 10,  // the container cannot be written
  wrongState = 11,       // a call that the reader's or writer's state does not allow
  wrongFrame = 12,       // a frame of another size or format than the writer's
  unrecognised = 13,     // a file that no container reader recognises: no track can be listed
};

// How a track's stored frames map to the frames shown: shown (x', y') = (a x + c y + tx,
// b x + d y + ty), with x to the right and y down, in pixels.
struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0; }
};

struct FrameSize {
  double width = 0;
  double height = 0;
};

struct VideoTrack {
  int index = 0;                  // the stream's number in the file
  AffineTransform displayMatrix;  // how frames are shown; the identity when the file says nothing
  FrameSize storedSize;           // the frames as stored
  // The frames as shown: the stored size after the display matrix's turn (to the nearest quarter
  // turn) and flip.
  FrameSize uprightSize;
  int32_t timeScale = 0;  // ticks per second of the track's presentation times
  float frameRate = 0;    // frames per second the file declares; 0 when it declares none
};

struct Container;  // the demuxer behind an asset; internal to the media services

class VideoAsset {
 public:
  // Opens the file at `path` (a plain file path; no URLs) and looks at its streams. Fails with
  // VideoError::unrecognised for a file whose contents no container reader recognises (text, an
  // empty file, an MPEG-4 file without its index), VideoError::cannotOpen when it cannot be read
  // at all (a folder, no permission, no such file).
  static Result<std::shared_ptr<VideoAsset>> open(const std::string& path);
  ~VideoAsset();

  // The video streams in file order, without cover pictures; empty for a file with no picture.
  const std::vector<VideoTrack>& videoTracks() const { return tracks_; }
  // The length the file declares, or zero when it declares none. Not necessarily exact.
  MediaTime duration() const { return duration_; }

  Container& container() const { return *container_; }

 private:
  explicit VideoAsset(std::unique_ptr<Container> container);

  std::unique_ptr<Container> container_;
  std::vector<VideoTrack> tracks_;
  MediaTime duration_ = kMediaTimeZero;
};

// The quarter turn and flip nearest to `transform`: a, b, c and d each -1, 0 or 1, no translation.
AffineTransform nearestQuarterTurn(const AffineTransform& transform);

// `size` as shown through the quarter turn `turn`.
FrameSize turnedSize(const AffineTransform& turn, FrameSize size);

}  // namespace platform::media
