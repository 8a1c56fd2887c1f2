// The names a screen reader gives the title bar's picture buttons, and the
// window menu's entries, the same on every toolkit.
#pragma once

#include <string_view>

namespace AccessibleNames {

inline constexpr char WindowMenu[] = "Window menu";

// The window commands, in the window menu's order (a separator before Close).
enum class TWindowCommand { Restore, Minimize, Maximize, Close };
struct TWindowCommandText {
  TWindowCommand Command;
  const char* Name;         // the title bar button's name
  const char* MenuCaption;  // with its access key
  const char* Shortcut;     // shown beside the caption; "" for none
};
inline constexpr TWindowCommandText WindowCommands[] = {
    {TWindowCommand::Restore, "Restore", "&Restore", ""},
    {TWindowCommand::Minimize, "Minimize", "Mi&nimize", ""},
    {TWindowCommand::Maximize, "Maximize", "Ma&ximize", ""},
    {TWindowCommand::Close, "Close", "&Close", "Alt+F4"},
};

constexpr const char* Name(TWindowCommand Command) {
  for (const auto& c : WindowCommands)
    if (c.Command == Command) return c.Name;
  return "";
}

// A button's caption as its name: without the blanks that only space it on
// the face (" Connect" is read as "Connect").
constexpr std::string_view ButtonName(std::string_view Caption) {
  const auto first = Caption.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return Caption.substr(first, Caption.find_last_not_of(' ') - first + 1);
}

}  // namespace AccessibleNames
