#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "download/task_state.h"

namespace {

// Names come as UTF-8 from the window and in the system's code page from a
// command line: whichever they read as.
std::wstring Wide(const std::string& Name) {
  for (const UINT page : {UINT(CP_UTF8), UINT(CP_ACP)}) {
    const DWORD flags = page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int n = ::MultiByteToWideChar(page, flags, Name.data(), int(Name.size()), nullptr, 0);
    if (n <= 0 && !Name.empty()) continue;
    std::wstring out(size_t(n), L'\0');
    ::MultiByteToWideChar(page, flags, Name.data(), int(Name.size()), out.data(), n);
    return out;
  }
  return {};
}

// A hidden name in the target's folder, so the final move stays on one
// volume and is atomic.
std::wstring TempNameFor(const std::wstring& Target) {
  static thread_local std::mt19937 rng{std::random_device{}()};
  const std::filesystem::path path(Target);
  wchar_t suffix[16];
  std::swprintf(suffix, 16, L"%08x", static_cast<unsigned>(rng()));
  return (path.parent_path() / (L"." + path.filename().wstring() + L"." + suffix + L".part"))
      .wstring();
}

}  // namespace

bool TOutFile::Create(const std::string& Target) {
  Close();
  const std::wstring target = Wide(Target);
  if (target.empty()) {
    errno = ENOENT;
    return false;
  }
  // A folder is not replaced, nor a file marked read-only.
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      errno = EISDIR;
      return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      errno = EACCES;
      return false;
    }
  } else if (target.back() == L'\\' || target.back() == L'/') {
    errno = EISDIR;
    return false;
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::wstring temp = TempNameFor(target);
    int fd = -1;
    const errno_t err =
        ::_wsopen_s(&fd, temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _SH_DENYWR, _S_IREAD | _S_IWRITE);
    if (err == 0) {
      fd_ = fd;
      target_ = std::filesystem::path(target).string();
      temp_ = std::filesystem::path(temp).string();
      return true;
    }
    if (err != EEXIST) {
      errno = err;
      return false;
    }
  }
  return false;
}

bool TOutFile::Write(const void* Data, std::size_t Len) {
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Len > 0) {
    const unsigned chunk = Len > (1u << 30) ? (1u << 30) : unsigned(Len);
    const int n = ::_write(fd_, p, chunk);
    if (n <= 0) return false;
    p += n;
    Len -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TOutFile::Commit() {
  const std::wstring temp = std::filesystem::path(temp_).wstring();
  const std::wstring target = std::filesystem::path(target_).wstring();
  bool ok = ::_commit(fd_) == 0;  // the bytes on disk before the name moves
  ok = ::_close(fd_) == 0 && ok;
  fd_ = -1;
  ok = ok && ::MoveFileExW(temp.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) ::_wunlink(temp.c_str());
  temp_.clear();
  return ok;
}

void TOutFile::Close() {
  if (fd_ < 0) return;
  ::_close(fd_);
  fd_ = -1;
  ::_wunlink(std::filesystem::path(temp_).wstring().c_str());
  temp_.clear();
}
