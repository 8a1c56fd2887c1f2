// Bytes as the items of trace and dispatch log files: printable bytes as
// themselves, others as "[n]" in decimal or "[hh]" in hexadecimal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Item lines end before the column count would pass this.
inline constexpr int kItemLineLimit = 78;

inline constexpr const char* kLineEnd = "\r\n";

// Writes the item for `byte` into `out` (at least 6 characters) and returns
// its width. With `allHex` every byte is "[hh]"; otherwise a byte below the
// printable floor (32, or 33 with `inHex` so the blank shows as [20]) or above
// 126 is "[hh]" with `inHex` and "[decimal]" without.
std::size_t FormatByteItem(uint8_t byte, bool inHex, bool allHex, char* out);

// Appends items to a text, ending the line (CR LF) before an item that would
// take the column count past kItemLineLimit. A new line starts with
// `wrapIndent` blanks and its count at `wrapBase` plus the item's width.
class TItemWriter {
 public:
  TItemWriter(std::string& out, bool inHex, bool allHex, int wrapIndent, int wrapBase)
      : out_(out), inHex_(inHex), allHex_(allHex), wrapIndent_(wrapIndent), wrapBase_(wrapBase) {}

  void StartCount(int column) { column_ = column; }

  // The byte as an item under the writer's switches.
  void PutByte(uint8_t byte);

  // The byte as itself, width 1, whatever the switches.
  void PutPlain(uint8_t byte);

 private:
  void PutItem(const char* text, std::size_t width);

  std::string& out_;
  bool inHex_;
  bool allHex_;
  int wrapIndent_;
  int wrapBase_;
  int column_ = 0;
};
