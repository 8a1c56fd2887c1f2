// What the simulated box sends: built-in sample content of each type and the
// response header that announces it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "tools/boxsim/wire.h"

namespace boxsim {

// Deterministic sample content with a plausible structure: a channel list of
// named records, an 8-bit BMP logo, a data area of tagged blocks, and a text
// file of network profiles. Tens of KiB each.
Bytes SampleContent(ContentType type);

// The magic the response header starts with; each is one the tool accepts.
enum class HeaderMagic { kTavra, kTavo, kMiro };
std::string_view MagicText(HeaderMagic magic);

// A response header for `content`: magic, total length at offset 16 (given
// separately so a box can announce another total), then deterministic bytes.
ResponseHeader BuildResponseHeader(ContentType type, std::span<const uint8_t> content,
                                   uint32_t total, std::string_view magic);

// The file the tool saves: response header, then the content.
Bytes FileBytes(const ResponseHeader& header, std::span<const uint8_t> content);

}  // namespace boxsim
