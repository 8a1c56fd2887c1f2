// The four kinds of content the box can send, chosen by the main window's
// radio buttons, and what each means on the wire and in the save dialog.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

enum class ContentType { ctChannels, ctLogo, ctData, ctNetConfig };

struct ContentTypeInfo {
  ContentType type;
  std::string_view radioButton;  // designer name of its radio button
  std::string_view caption;
  uint8_t typeByte;
  std::string_view code;  // three letters for offset 32 of the request header; empty when none
  std::string_view saveFilter;        // "description|pattern|..." pairs, first one pre-selected
  std::string_view defaultExtension;  // with its leading dot
};

// All four, in the order of the radio buttons.
std::span<const ContentTypeInfo> ContentTypes();

const ContentTypeInfo& Describe(ContentType type);

// Type byte of the request word; 00 when no content type is chosen.
uint8_t TypeByte(std::optional<ContentType> type);
