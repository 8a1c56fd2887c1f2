// A text file written by name for the trace and dispatch log dumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The classic file error number (2 file not found, 3 path not found, 4 too
// many open files, 5 access denied, 101 disk full, 150 write protected, 160
// device write error, ...) for an errno value; what has no closer meaning is
// 162, general failure.
int32_t FileErrorNumber(int err);
// The same for the errno values every platform's C library gives.
int32_t PortableFileErrorNumber(int err);

// Opens the file for writing the way TTextFile::Open describes; the
// descriptor, or -1 with errno set.
int OpenTextFileFd(const std::string& name, bool append);
// The system's write and close on that descriptor: bytes written, or -1 and
// errno; 0, or -1 and errno.
long WriteTextFileFd(int fd, const char* data, std::size_t size);
int CloseTextFileFd(int fd);

// Writes text to a file; the first error is kept and later writes are skipped,
// so a dump can write on and ask once at the end. Closes on destruction.
class TTextFile {
 public:
  TTextFile() = default;
  TTextFile(const TTextFile&) = delete;
  TTextFile& operator=(const TTextFile&) = delete;
  ~TTextFile();

  // Appends when `append` is set and the file exists, else creates or
  // overwrites. Returns 0 or the negated file error.
  int32_t Open(const std::string& name, bool append);

  void Write(std::string_view text);
  bool Failed() const { return error_ != 0; }

  // Returns 0, or the negated first write or close error.
  int32_t Close();

 private:
  int fd_ = -1;
  int32_t error_ = 0;
};
