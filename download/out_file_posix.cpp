#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "download/task_state.h"

namespace {

// As many links as the kernel follows in one name.
constexpr int kMaxLinks = 40;

// A short hidden name in the target's folder, so the final rename stays on
// one file system and is atomic, and a target whose name is as long as the
// folder allows still has room for it.
std::string TempNameFor(const std::string& target) {
  static thread_local std::mt19937 rng{std::random_device{}()};
  char name[32];
  std::snprintf(name, sizeof name, ".zedazi-%08x.part", static_cast<unsigned>(rng()));
  return (std::filesystem::path(target).parent_path() / name).string();
}

// A folder this user may not add to stops only the temporary.
bool FolderRefused(int error) {
  return error == EACCES || error == EPERM || error == ENAMETOOLONG;
}

bool ReadLink(const std::filesystem::path& link, off_t sizeHint, std::string& to) {
  std::string buffer(static_cast<std::size_t>(std::max<off_t>(sizeHint, 64)) + 1, '\0');
  for (;;) {
    const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      to = std::move(buffer);
      return true;
    }
    buffer.resize(buffer.size() * 2);  // longer than lstat said
  }
}

// The file Name stands for, symbolic links followed (a relative one from the
// folder it is in). The last one may lead nowhere yet: then Existing is empty
// and the file is to be created there.
bool ResolveTarget(const std::string& name, std::string& file,
                   std::optional<struct stat>& existing) {
  std::filesystem::path path(name);
  for (int links = 0;; ++links) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      // "name/" asks for a folder, which a save does not make.
      if (path.filename().empty()) {
        errno = EISDIR;
        return false;
      }
      existing.reset();
      break;
    }
    if (!S_ISLNK(st.st_mode)) {
      if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
      }
      existing = st;
      break;
    }
    if (links == kMaxLinks) {
      errno = ELOOP;
      return false;
    }
    std::string to;
    if (!ReadLink(path, st.st_size, to)) return false;
    path = path.parent_path() / to;  // an absolute link replaces the whole path
  }
  file = path.string();
  return true;
}

// Judged as opening the file for writing would be, so root may replace a
// read-only file. The effective-ids call is newer and refused by some
// sandboxes, so it is only used when the ids differ.
bool MayWrite(const std::string& file) {
  const bool setId = ::geteuid() != ::getuid() || ::getegid() != ::getgid();
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, setId ? AT_EACCESS : 0) == 0;
}

// Best effort: only root may give a file away, but anyone may pass it to a
// group of theirs. When neither works the new file is simply this user's.
bool TryKeepOwner(int fd, uid_t owner, gid_t group) {
  if (owner == ::geteuid() && group == ::getegid()) return true;
  return ::fchown(fd, owner, group) == 0 || ::fchown(fd, static_cast<uid_t>(-1), group) == 0;
}

}  // namespace

bool TOutFile::Create(const std::string& Target) {
  Close();
  std::string file;
  std::optional<struct stat> existing;
  if (!ResolveTarget(Target, file, existing)) return false;
  // Asked without opening it: opening a device or a pipe can act on it.
  if (existing && !MayWrite(file)) return false;
  std::optional<TKept> kept;
  // Set-id bits are not carried over: rewriting a file's content drops them.
  if (existing) kept = TKept{existing->st_mode & 0777, existing->st_uid, existing->st_gid};
  // 0666 lets the umask decide, as for any file the user creates. A file
  // being replaced gets its old bits at commit; until then it is private.
  const mode_t mode = kept ? 0600 : 0666;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = TempNameFor(file);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      fd_ = fd;
      target_ = std::move(file);
      temp_ = std::move(temp);
      kept_ = kept;
      return true;
    }
    if (errno != EEXIST) break;
  }
  // No temporary beside it, but the file itself may be written: it is
  // rewritten in place, as a plain save would. Only a regular file: opening
  // a device or a pipe can act on it, or wait for a reader.
  if (!FolderRefused(errno) || !existing || !S_ISREG(existing->st_mode)) return false;
  const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  fd_ = fd;
  target_ = std::move(file);
  return true;
}

bool TOutFile::Write(const void* Data, std::size_t Len) {
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Len > 0) {
    const ssize_t n = ::write(fd_, p, Len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Len -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TOutFile::Commit() {
  bool ok = true;
  if (kept_) {
    // Owner before mode: a change of owner may clear mode bits.
    TryKeepOwner(fd_, kept_->Owner, kept_->Group);
    ok = ::fchmod(fd_, kept_->Mode) == 0;
  }
  ok = ok && ::fsync(fd_) == 0;
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  if (!temp_.empty()) {
    ok = ok && ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) ::unlink(temp_.c_str());
  }
  temp_.clear();
  kept_.reset();
  return ok;
}

void TOutFile::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  // A file written in place keeps what was written of it.
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  kept_.reset();
}
