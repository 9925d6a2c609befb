#include "platform/media/still_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::media {

namespace {

// A compressed picture this large would decode far beyond the pixel limit anyway.
constexpr off_t kMaxFileBytes = off_t{512} << 20;

Error failure(StillImageError code, const std::string& path, const std::string& reason) {
  return Error{kStillImageErrorDomain, static_cast<int64_t>(code),
               "The picture \"" + path + "\" could not be read: " + reason + "."};
}

struct FileCloser {
  void operator()(int* fd) const {
    close(*fd);
    delete fd;
  }
};

// An open file that passed the checks, and what identifies its contents.
struct OpenFile {
  std::unique_ptr<int, FileCloser> fd;
  struct stat info {};
};

Result<OpenFile> openPicture(const std::string& path) {
  // Non-blocking, so that a named pipe without a writer is refused below instead of hanging the
  // open; reads of regular files are not affected by the flag.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return failure(StillImageError::noSuchFile, path, "there is no such file");
    return failure(StillImageError::unreadable, path, std::strerror(errno));
  }
  OpenFile file{std::unique_ptr<int, FileCloser>(new int(fd)), {}};
  struct stat& info = file.info;
  if (fstat(fd, &info) != 0) return failure(StillImageError::unreadable, path, std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return failure(StillImageError::isAFolder, path, "it is a folder");
  if (!S_ISREG(info.st_mode)) return failure(StillImageError::notAPicture, path, "it is not a regular file");
  if (info.st_size == 0) return failure(StillImageError::emptyFile, path, "the file is empty");
  if (info.st_size > kMaxFileBytes) return failure(StillImageError::tooLarge, path, "the file is too large");
  return file;
}

Result<std::vector<unsigned char>> readWholeFile(const OpenFile& file, const std::string& path) {
  std::vector<unsigned char> bytes(static_cast<size_t>(file.info.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = read(*file.fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return failure(StillImageError::unreadable, path, std::strerror(errno));
    if (got == 0) break;  // the file shrank while being read
    done += static_cast<size_t>(got);
  }
  bytes.resize(done);
  if (bytes.empty()) return failure(StillImageError::emptyFile, path, "the file is empty");
  return bytes;
}

// The last picture decoded, kept so that a file decoded twice in a row (once for the analysis and
// once more for the colour sample of the same frame) is read and decoded only once. A file counts
// as the same while its device, inode, size and modification and change times are; any write,
// rename over it or touch changes one of them.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  timespec modified{}, changed{};

  explicit FileIdentity(const struct stat& info)
      : device(info.st_dev), inode(info.st_ino), size(info.st_size), modified(info.st_mtim), changed(info.st_ctim) {}
  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

struct LastPicture {
  std::mutex lock;
  std::optional<FileIdentity> identity;
  Image image;
};

LastPicture& lastPicture() {
  static LastPicture last;
  return last;
}

using Decompressor = std::unique_ptr<void, int (*)(tjhandle)>;

// CMYK pictures are written almost only by Adobe software, which stores the inks inverted: each
// byte is already the share of light that passes.
void cmykToRgb(const std::vector<unsigned char>& cmyk, std::vector<uint8_t>& rgb) {
  const size_t pixels = cmyk.size() / 4;
  for (size_t i = 0; i < pixels; ++i) {
    const int c = cmyk[4 * i], m = cmyk[4 * i + 1], y = cmyk[4 * i + 2], k = cmyk[4 * i + 3];
    rgb[3 * i] = static_cast<uint8_t>((c * k + 127) / 255);
    rgb[3 * i + 1] = static_cast<uint8_t>((m * k + 127) / 255);
    rgb[3 * i + 2] = static_cast<uint8_t>((y * k + 127) / 255);
  }
}

}  // namespace

Result<Image> decodeStillImage(const std::string& path) {
  Result<OpenFile> opened = openPicture(path);
  if (!opened) return opened.error();
  const FileIdentity identity(opened.value().info);
  LastPicture& last = lastPicture();
  {
    const std::lock_guard<std::mutex> hold(last.lock);
    if (last.identity == identity) return last.image;
  }
  Result<std::vector<unsigned char>> file = readWholeFile(opened.value(), path);
  if (!file) return file.error();
  const std::vector<unsigned char>& bytes = file.value();
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF) {
    return failure(StillImageError::notAPicture, path, "it is not a JPEG picture");
  }

  Decompressor decompressor(tjInitDecompress(), tjDestroy);
  if (!decompressor) return failure(StillImageError::unreadable, path, "the decoder could not be started");
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(decompressor.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), &width, &height,
                          &subsampling, &colourspace) != 0) {
    return failure(StillImageError::damaged, path, std::string("its header is damaged (") + tjGetErrorStr2(decompressor.get()) + ")");
  }
  if (width <= 0 || height <= 0) return failure(StillImageError::damaged, path, "it has no pixels");
  if (static_cast<int64_t>(width) * height > kMaxStillImagePixels) {
    return failure(StillImageError::tooLarge, path,
                   "it is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than can be decoded safely");
  }

  Image image;
  image.width = width;
  image.height = height;
  image.rgb.resize(static_cast<size_t>(width) * height * 3);
  const bool cmyk = colourspace == TJCS_CMYK || colourspace == TJCS_YCCK;
  std::vector<unsigned char> cmykPixels;
  if (cmyk) cmykPixels.resize(static_cast<size_t>(width) * height * 4);
  unsigned char* target = cmyk ? cmykPixels.data() : image.rgb.data();
  const int status = tjDecompress2(decompressor.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), target, width,
                                   0, height, cmyk ? TJPF_CMYK : TJPF_RGB, TJFLAG_ACCURATEDCT);
  if (status != 0) {
    const std::string reason = tjGetErrorStr2(decompressor.get());
    // Warnings about stray bytes are harmless, but a picture that ends early is missing pixels.
    if (tjGetErrorCode(decompressor.get()) == TJERR_FATAL || reason.find("Premature end") != std::string::npos) {
      return failure(StillImageError::damaged, path, "it is damaged (" + reason + ")");
    }
  }
  if (cmyk) cmykToRgb(cmykPixels, image.rgb);
  const std::lock_guard<std::mutex> hold(last.lock);
  last.identity = identity;
  last.image = image;
  return image;
}

}  // namespace platform::media
