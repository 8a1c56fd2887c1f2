#include "app/graphics/memory_stream.h"

#include <algorithm>
#include <cstring>

void TMemoryStream::Write(const void* data, std::size_t count) {
  if (count == 0) return;
  if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
  std::memcpy(bytes_.data() + position_, data, count);
  position_ += count;
}

std::size_t TMemoryStream::Read(void* data, std::size_t count) {
  if (position_ >= bytes_.size()) return 0;
  const std::size_t n = std::min(count, bytes_.size() - position_);
  std::memcpy(data, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void TMemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}
