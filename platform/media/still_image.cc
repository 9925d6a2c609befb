#include "platform/media/still_image.h"

#include "platform/media/picture_decoders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
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

// An open file that passed the checks, and its size and kind.
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

}  // namespace

Result<Image> decodeStillImage(const std::string& path) {
  Result<OpenFile> opened = openPicture(path);
  if (!opened) return opened.error();
  Result<std::vector<unsigned char>> file = readWholeFile(opened.value(), path);
  if (!file) return file.error();
  const std::vector<unsigned char>& bytes = file.value();
  if (isJpeg(bytes)) return decodeJpeg(bytes, path);
  if (isPng(bytes)) return decodePng(bytes, path);
  return stillImageFailure(StillImageError::notAPicture, path, "it is not a JPEG or PNG picture");
}

}  // namespace platform::media
