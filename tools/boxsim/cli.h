// The command line of zedazi-boxsim.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/boxsim/options.h"

namespace boxsim {

struct CommandLine {
  BoxOptions box;  // `once` off unless --once
  int com = 0;     // 1 to 50 with --com
  std::filesystem::path link;
  std::filesystem::path device;  // serve on this tty instead of a new pseudo-terminal
  std::map<ContentType, std::filesystem::path> contentFiles;
  bool help = false;
};

inline constexpr int kMaxComNumber = 50;

// The arguments after the program name; null with `error` set when bad.
std::optional<CommandLine> ParseCommandLine(std::span<const std::string_view> args,
                                            std::string& error);

// Reads the --content files into line.box.content.
bool LoadContentFiles(CommandLine& line, std::string& error);

std::string Usage();

}  // namespace boxsim
