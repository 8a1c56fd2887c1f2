// State of the download task that lives as long as the program.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "download/protocol.h"

// True while a download run is active. Whoever creates a task sets it before
// the thread starts, so two tasks can never run at once; TaskDone clears it.
extern std::atomic<bool> TaskRunning;

// Every command word sent or received and every length field, followed by
// room for one packet (payload and CRC).
inline constexpr std::size_t kWordBufferSize = kWordSize + kMaxPacketLength;
extern std::array<uint8_t, kWordBufferSize> WordBuffer;

// The file being saved. It is written under a temporary name next to the
// target and renamed over it only when complete, so an existing file never
// suffers from a failed save. Where the folder takes no new file but the
// target may be written, the target is rewritten in place: then a failed
// save leaves it cut short, and readers may see it half written. A symbolic
// link as the name stands for the file it leads to: that file is replaced
// and the link stays. A replaced file keeps its permission bits and, where
// allowed, its owner. On Windows the rename is MoveFileExW's
// replace-existing, written through to disk, and a target another program
// holds open so that it could not be replaced is refused at Create.
class TOutFile {
 public:
  TOutFile() = default;
  TOutFile(const TOutFile&) = delete;
  TOutFile& operator=(const TOutFile&) = delete;
  ~TOutFile() { Close(); }

  // Creates the temporary file for Target (or opens Target itself, see
  // above); false (errno set) on failure, which includes a Target that is a
  // folder or a file this user may not write. Nothing on disk changes when
  // it fails.
  bool Create(const std::string& Target);
  bool IsOpen() const { return fd_ >= 0; }
  // Writes all Len bytes; false when fewer could be written.
  bool Write(const void* Data, std::size_t Len);
  // Flushes to disk, closes and renames over the target; false on failure,
  // in which case the temporary is gone and the target untouched (unless it
  // was written in place).
  bool Commit();
  // Closes without committing: the temporary is removed (a target written
  // in place stays as far as it was written).
  void Close();

 private:
  // What the replaced file had, to be given to the new one.
  struct TKept {
    uint32_t Mode;
    uint32_t Owner;
    uint32_t Group;
  };

  int fd_ = -1;
  std::string target_;         // the file itself, links followed
  std::string temp_;           // empty when the target is written in place
  std::optional<TKept> kept_;  // nothing for a new file
};

extern TOutFile OutFile;
