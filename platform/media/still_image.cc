#include "platform/media/still_image.h"

#include "platform/media/picture_decoders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace platform::media {

namespace {

// A compressed picture this large would decode far beyond the pixel limit anyway.
constexpr off_t kMaxFileBytes = off_t{512} << 20;

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
    if (errno == ENOENT || errno == ENOTDIR)
      return stillImageFailure(StillImageError::noSuchFile, path, "there is no such file");
    return stillImageFailure(StillImageError::unreadable, path, std::strerror(errno));
  }
  OpenFile file{std::unique_ptr<int, FileCloser>(new int(fd)), {}};
  struct stat& info = file.info;
  if (fstat(fd, &info) != 0) return stillImageFailure(StillImageError::unreadable, path, std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return stillImageFailure(StillImageError::isAFolder, path, "it is a folder");
  if (!S_ISREG(info.st_mode)) return stillImageFailure(StillImageError::notAPicture, path, "it is not a regular file");
  if (info.st_size == 0) return stillImageFailure(StillImageError::emptyFile, path, "the file is empty");
  if (info.st_size > kMaxFileBytes) return stillImageFailure(StillImageError::tooLarge, path, "the file is too large");
  return file;
}

Result<std::vector<unsigned char>> readWholeFile(const OpenFile& file, const std::string& path) {
  std::vector<unsigned char> bytes(static_cast<size_t>(file.info.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = read(*file.fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return stillImageFailure(StillImageError::unreadable, path, std::strerror(errno));
    if (got == 0) break;  // the file shrank while being read
    done += static_cast<size_t>(got);
  }
  bytes.resize(done);
  if (bytes.empty()) return stillImageFailure(StillImageError::emptyFile, path, "the file is empty");
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

// One per thread: two threads decoding at once never wait for each other or see each other's
// picture, and a thread that decodes a file twice in a row still finds it.
struct LastPicture {
  std::optional<FileIdentity> identity;
  Image image;
};

thread_local LastPicture lastPicture;

}  // namespace

Result<Image> decodeStillImage(const std::string& path) {
  Result<OpenFile> opened = openPicture(path);
  if (!opened) return opened.error();
  const FileIdentity identity(opened.value().info);
  if (lastPicture.identity == identity) return lastPicture.image;
  Result<std::vector<unsigned char>> file = readWholeFile(opened.value(), path);
  if (!file) return file.error();
  const std::vector<unsigned char>& bytes = file.value();
  Result<Image> decoded =
      isJpeg(bytes) ? decodeJpeg(bytes, path)
      : isPng(bytes)
          ? decodePng(bytes, path)
          : Result<Image>(stillImageFailure(StillImageError::notAPicture, path, "it is not a JPEG or PNG picture"));
  if (!decoded) return decoded.error();
  lastPicture.image = decoded.value();  // reuses the old picture's memory when it is large enough
  lastPicture.identity = identity;
  return decoded;
}

}  // namespace platform::media
