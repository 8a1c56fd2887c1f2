#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#include <winioctl.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <iterator>
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

// A short hidden name in the target's folder, so the final move stays on one
// volume and is atomic, and a target whose name is as long as the folder
// allows still has room for it.
std::wstring TempNameFor(const std::wstring& Target) {
  static thread_local std::mt19937 rng{std::random_device{}()};
  wchar_t name[32];
  std::swprintf(name, 32, L".zedazi-%08x.part", static_cast<unsigned>(rng()));
  return (std::filesystem::path(Target).parent_path() / name).wstring();
}

// As many links as one name may pass through.
constexpr int kMaxLinks = 40;

// Where the symbolic link Link leads, as written in it (relative or not);
// false when Link is no symbolic link.
bool ReadLink(const std::wstring& Link, std::wstring& To, bool& Relative) {
  const HANDLE handle = ::CreateFileW(
      Link.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // The system's symbolic-link reparse data: a tag, then two names in a
  // shared buffer, the one to print being the one a user wrote.
  struct TLinkData {
    ULONG Tag;
    USHORT DataLength, Reserved;
    USHORT SubstituteOffset, SubstituteLength, PrintOffset, PrintLength;
    ULONG Flags;
    WCHAR Names[1];
  };
  alignas(TLinkData) BYTE buffer[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
  DWORD got = 0;
  const bool read = ::DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer,
                                      sizeof buffer, &got, nullptr) != 0;
  ::CloseHandle(handle);
  const auto* data = reinterpret_cast<const TLinkData*>(buffer);
  if (!read || got < offsetof(TLinkData, Names) || data->Tag != IO_REPARSE_TAG_SYMLINK) {
    return false;
  }
  const bool print = data->PrintLength > 0;
  const USHORT offset = print ? data->PrintOffset : data->SubstituteOffset;
  const USHORT length = print ? data->PrintLength : data->SubstituteLength;
  if (offsetof(TLinkData, Names) + offset + length > got) return false;
  To.assign(data->Names + offset / sizeof(WCHAR), length / sizeof(WCHAR));
  if (To.rfind(L"\\??\\", 0) == 0) To.replace(0, 4, L"\\\\?\\");
  Relative = (data->Flags & 1) != 0;  // SYMLINK_FLAG_RELATIVE
  return true;
}

// The file Target stands for, symbolic links followed (a relative one from
// the folder it is in), as on Linux; the last may lead nowhere yet.
bool FollowLinks(std::wstring& Target) {
  std::filesystem::path path(Target);
  for (int links = 0; links <= kMaxLinks; ++links) {
    std::wstring to;
    bool relative = false;
    if (!ReadLink(path.wstring(), to, relative)) {
      Target = path.wstring();
      return true;
    }
    path = relative ? path.parent_path() / to : std::filesystem::path(to);
  }
  errno = ELOOP;
  return false;
}

// False when an existing Target may not be replaced now. Opening it for
// writing and deleting, with every sharing allowed, fails just when another
// program holds it in a way that would make the final move fail (or this
// user may not write it).
bool Replaceable(const std::wstring& Target) {
  const HANDLE file = ::CreateFileW(Target.c_str(), GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
    return true;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return true;
  errno = error == ERROR_SHARING_VIOLATION ? EBUSY : EACCES;
  return false;
}

}  // namespace

bool TOutFile::Create(const std::string& Target) {
  Close();
  std::wstring target = Wide(Target);
  if (target.empty()) {
    errno = ENOENT;
    return false;
  }
  if (!FollowLinks(target)) return false;
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
  if (attributes != INVALID_FILE_ATTRIBUTES && !Replaceable(target)) return false;
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
      break;
    }
  }
  // No temporary beside it, but the file itself may be written: it is
  // rewritten in place, as a plain save would.
  if (errno != EACCES || attributes == INVALID_FILE_ATTRIBUTES) return false;
  int fd = -1;
  const errno_t err =
      ::_wsopen_s(&fd, target.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _SH_DENYWR,
                  _S_IREAD | _S_IWRITE);
  if (err != 0) {
    errno = err;
    return false;
  }
  fd_ = fd;
  target_ = std::filesystem::path(target).string();
  return true;
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
  if (!temp.empty()) {
    ok = ok && ::MoveFileExW(temp.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) ::_wunlink(temp.c_str());
  }
  temp_.clear();
  return ok;
}

void TOutFile::Close() {
  if (fd_ < 0) return;
  ::_close(fd_);
  fd_ = -1;
  // A file written in place keeps what was written of it.
  if (!temp_.empty()) ::_wunlink(std::filesystem::path(temp_).wstring().c_str());
  temp_.clear();
}
