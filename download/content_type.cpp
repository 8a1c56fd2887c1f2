#include "download/content_type.h"

#include <array>

namespace {

constexpr std::array<ContentTypeInfo, 4> kContentTypes{{
    {ContentType::ctChannels, "TCN_RB", "Channels", 0x02, "SER",
     "Tavo channels files (*.tcn)|*.TCN|All files (*.*)|*.*", ".tcn"},
    {ContentType::ctLogo, "LOGO_RB", "Logo", 0x08, "",
     "Logo and other files (*.logo)|*.LOGO|All files (*.*)|*.*", ".logo"},
    {ContentType::ctData, "DAT_RB", "Data", 0x01, "DAT",
     "Data files (*.dat)|*.DAT|All files (*.*)|*.*", ".dat"},
    {ContentType::ctNetConfig, "NET_RB", "NET Config", 0x0A, "NCF",
     "NET Config files (*.ncf)|*.NCF|All files (*.*)|*.*", ".ncf"},
}};

// Describe() indexes the table by the enumeration value.
constexpr bool TableInEnumOrder() {
  for (std::size_t i = 0; i < kContentTypes.size(); ++i) {
    if (static_cast<std::size_t>(kContentTypes[i].type) != i) return false;
    if (!kContentTypes[i].code.empty() && kContentTypes[i].code.size() != 3) return false;
  }
  return true;
}
static_assert(TableInEnumOrder());

}  // namespace

std::span<const ContentTypeInfo> ContentTypes() {
  return kContentTypes;
}

const ContentTypeInfo& Describe(ContentType type) {
  return kContentTypes.at(static_cast<std::size_t>(type));
}

uint8_t TypeByte(std::optional<ContentType> type) {
  return type ? Describe(*type).typeByte : 0x00;
}
