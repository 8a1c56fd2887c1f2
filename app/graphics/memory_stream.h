// A growable in-memory byte stream with a read/write position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TMemoryStream {
 public:
  // Writes at the position, growing the stream as needed; the position moves past
  // the bytes written.
  void Write(const void* data, std::size_t count);
  // Reads up to count bytes from the position; returns how many were read.
  std::size_t Read(void* data, std::size_t count);

  std::size_t Position() const { return position_; }
  // A position beyond the end is allowed; the next write fills the gap with zeros.
  void SetPosition(std::size_t position) { position_ = position; }
  std::size_t Size() const { return bytes_.size(); }
  const std::uint8_t* Data() const { return bytes_.data(); }
  void Clear();

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};
