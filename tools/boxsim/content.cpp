#include "tools/boxsim/content.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace boxsim {
namespace {

// A small linear congruential generator: same bytes on every platform.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  uint32_t Below(uint32_t bound) { return Next() % bound; }

 private:
  uint32_t state_;
};

void Put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void PutLe16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutLe32(Bytes& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

void PutText(Bytes& out, std::string_view text, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
  }
}

Bytes Channels() {
  constexpr std::array<std::string_view, 10> kBrands{"Nova",  "Sat",  "Euro",  "Alpha", "Delta",
                                                     "Orbit", "Star", "Polar", "Metro", "Vista"};
  constexpr std::array<std::string_view, 10> kGenres{
      "News", "Sport", "Movies", "Music", "Kids", "Docs", "Travel", "Weather", "Shop", "Comedy"};
  constexpr std::array<std::string_view, 5> kProviders{
      "Skyline Media", "Orbital Group", "Free to Air", "Continental TV", "Radio Net"};
  constexpr std::array<std::string_view, 4> kLanguages{"eng", "deu", "fra", "ita"};
  constexpr uint32_t kCount = 340;
  constexpr uint32_t kRecordSize = 96;

  Lcg random(0x7C4A11u);
  Bytes out;
  PutText(out, "TCN1", 4);
  AppendWord(out, kCount);
  AppendWord(out, kRecordSize);
  AppendWord(out, 0);
  for (uint32_t i = 0; i < kCount; ++i) {
    const std::size_t start = out.size();
    const bool radio = i % 9 == 8;
    Put16(out, i + 1);
    Put16(out, 1000 + random.Below(30000));                 // service id
    AppendWord(out, 10700000 + random.Below(2050) * 1000);  // frequency, kHz
    AppendWord(out, random.Below(2) ? 27500 : 22000);       // symbol rate, kS/s
    out.push_back(random.Below(2) ? 'H' : 'V');
    out.push_back(static_cast<uint8_t>((radio ? 0x02 : 0x01) | (random.Below(4) == 0 ? 0x80 : 0)));
    Put16(out, radio ? 0x1FFF : 0x100 + random.Below(0x1000));  // video pid
    Put16(out, 0x100 + random.Below(0x1000));                   // audio pid
    Put16(out, 0x100 + random.Below(0x1000));                   // pcr pid
    PutText(out, kLanguages[random.Below(kLanguages.size())], 3);
    out.push_back(0);
    const std::string name = std::string(kBrands[i % kBrands.size()]) + " " +
                             std::string(kGenres[(i / kBrands.size()) % kGenres.size()]) +
                             (i >= 100 ? " " + std::to_string(i / 100 + 1) : "") +
                             (radio ? " Radio" : "");
    PutText(out, name, 32);
    PutText(out, kProviders[random.Below(kProviders.size())], 24);
    Put16(out, random.Below(3) == 0 ? 130 : 192);  // orbital position, tenths of a degree east
    out.resize(start + kRecordSize, 0);
  }
  return out;
}

Bytes Logo() {
  constexpr uint32_t kWidth = 200;
  constexpr uint32_t kHeight = 150;
  constexpr uint32_t kPalette = 256 * 4;
  constexpr uint32_t kOffset = 14 + 40 + kPalette;
  Bytes out;
  PutText(out, "BM", 2);
  PutLe32(out, kOffset + kWidth * kHeight);
  PutLe32(out, 0);
  PutLe32(out, kOffset);
  PutLe32(out, 40);
  PutLe32(out, kWidth);
  PutLe32(out, kHeight);
  PutLe16(out, 1);
  PutLe16(out, 8);
  PutLe32(out, 0);
  PutLe32(out, kWidth * kHeight);
  PutLe32(out, 2835);
  PutLe32(out, 2835);
  PutLe32(out, 256);
  PutLe32(out, 0);
  for (uint32_t i = 0; i < 256; ++i) {  // blue to orange ramp, BGRx
    out.push_back(static_cast<uint8_t>(255 - i));
    out.push_back(static_cast<uint8_t>(i / 2 + 40));
    out.push_back(static_cast<uint8_t>(i));
    out.push_back(0);
  }
  for (uint32_t y = 0; y < kHeight; ++y) {  // rings around the centre over a diagonal band
    for (uint32_t x = 0; x < kWidth; ++x) {
      const int dx = static_cast<int>(x) - 100;
      const int dy = static_cast<int>(y) - 75;
      const uint32_t ring = static_cast<uint32_t>(dx * dx + dy * dy) / 64;
      const bool band = (x + y) % 50 < 6;
      out.push_back(static_cast<uint8_t>(band ? 255 : (ring * 7 + x / 4) & 0xFF));
    }
  }
  return out;
}

Bytes DataArea() {
  constexpr uint32_t kBlocks = 192;
  constexpr uint32_t kBlockSize = 256;
  Lcg random(0xDA7Au);
  Bytes out;
  for (uint32_t block = 0; block < kBlocks; ++block) {
    const std::size_t start = out.size();
    PutText(out, "DA", 2);
    Put16(out, block);
    AppendWord(out, block * kBlockSize);
    for (uint32_t i = 0; i < kBlockSize - 12; ++i)
      out.push_back(static_cast<uint8_t>(random.Next()));
    AppendWord(out, Crc(std::span(out).subspan(start, kBlockSize - 4)));
  }
  return out;
}

Bytes NetConfig() {
  constexpr uint32_t kProfiles = 96;
  Lcg random(0x0E7Cu);
  std::string text = "# network profiles\nversion=2\nactive=1\n\n";
  char line[160];
  for (uint32_t p = 1; p <= kProfiles; ++p) {
    const uint32_t subnet = random.Below(250) + 1;
    const uint32_t host = random.Below(200) + 20;
    const bool dhcp = p % 3 == 0;
    std::snprintf(line, sizeof line,
                  "[profile %02u]\nname=Network %02u\ndhcp=%d\nip=192.168.%u.%u\n"
                  "mask=255.255.255.0\ngateway=192.168.%u.1\ndns1=192.168.%u.1\n",
                  p, p, dhcp ? 1 : 0, subnet, host, subnet, subnet);
    text += line;
    std::snprintf(line, sizeof line,
                  "dns2=9.9.9.%u\nmac=00:1A:2B:%02X:%02X:%02X\nmtu=%u\nntp=pool%u.ntp.example\n"
                  "proxy=\n\n",
                  p % 10, p, random.Below(256), random.Below(256), dhcp ? 1500 : 1492, p % 4);
    text += line;
  }
  return Bytes(text.begin(), text.end());
}

}  // namespace

Bytes SampleContent(ContentType type) {
  switch (type) {
    case ContentType::ctChannels:
      return Channels();
    case ContentType::ctLogo:
      return Logo();
    case ContentType::ctData:
      return DataArea();
    case ContentType::ctNetConfig:
      return NetConfig();
  }
  return {};
}

std::string_view MagicText(HeaderMagic magic) {
  switch (magic) {
    case HeaderMagic::kTavo:
      return "TAVO";
    case HeaderMagic::kMiro:
      return "MIRO";
    case HeaderMagic::kTavra:
      break;
  }
  return kHeaderMagic;
}

ResponseHeader BuildResponseHeader(ContentType type, std::span<const uint8_t> content,
                                   uint32_t total, std::string_view magic) {
  const ContentTypeInfo& info = Describe(type);
  Bytes out;
  PutText(out, magic, kTotalLengthOffset);
  AppendWord(out, total);
  out.push_back(info.typeByte);
  PutText(out, info.code.empty() ? "LGO" : info.code, 3);
  AppendWord(out, Crc(content));
  AppendWord(out, 0x00010000u);  // format version 1.0
  PutText(out, "ZT100 BOX SIM", 16);
  for (uint8_t b : {0xB2, 0x00, 0x01, 0x00, 0x01, 0x00}) out.push_back(b);
  PutText(out, "270307", 6);
  for (uint8_t b : {0x44, 0x33, 0x22, 0x11}) out.push_back(b);

  ResponseHeader header{};
  std::copy_n(out.begin(), header.size(), header.begin());
  return header;
}

Bytes FileBytes(const ResponseHeader& header, std::span<const uint8_t> content) {
  Bytes file(header.begin(), header.end());
  file.insert(file.end(), content.begin(), content.end());
  return file;
}

}  // namespace boxsim
