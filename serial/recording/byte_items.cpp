#include "serial/recording/byte_items.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::size_t FormatHex(uint8_t byte, char* out) {
  out[0] = '[';
  out[1] = kHexDigits[byte >> 4];
  out[2] = kHexDigits[byte & 0x0F];
  out[3] = ']';
  return 4;
}

std::size_t FormatDecimal(uint8_t byte, char* out) {
  std::size_t n = 0;
  out[n++] = '[';
  if (byte >= 100) out[n++] = static_cast<char>('0' + byte / 100);
  if (byte >= 10) out[n++] = static_cast<char>('0' + byte / 10 % 10);
  out[n++] = static_cast<char>('0' + byte % 10);
  out[n++] = ']';
  return n;
}

}  // namespace

std::size_t FormatByteItem(uint8_t byte, bool inHex, bool allHex, char* out) {
  if (allHex) return FormatHex(byte, out);
  const uint8_t floor = inHex ? 33 : 32;
  if (byte < floor || byte > 126) return inHex ? FormatHex(byte, out) : FormatDecimal(byte, out);
  out[0] = static_cast<char>(byte);
  return 1;
}

void TItemWriter::PutByte(uint8_t byte) {
  char item[8];
  PutItem(item, FormatByteItem(byte, inHex_, allHex_, item));
}

void TItemWriter::PutPlain(uint8_t byte) {
  const char item = static_cast<char>(byte);
  PutItem(&item, 1);
}

void TItemWriter::PutItem(const char* text, std::size_t width) {
  const int w = static_cast<int>(width);
  column_ += w;
  if (column_ > kItemLineLimit) {
    out_ += kLineEnd;
    out_.append(static_cast<std::size_t>(wrapIndent_), ' ');
    column_ = wrapBase_ + w;
  }
  out_.append(text, width);
}
