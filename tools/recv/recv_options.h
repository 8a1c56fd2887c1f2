// Command line of zedazi-recv.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "download/content_type.h"

struct TRecvOptions {
  std::string Port;  // a device path or COMn
  ContentType Type = ContentType::ctChannels;
  std::string Output;          // empty: the type, a timestamp and its extension
  int IdleTimeoutSeconds = 0;  // 0: wait as long as the box takes
  bool Quiet = false;
  bool ListPorts = false;  // list the COM numbers instead of downloading
  bool Help = false;
  bool Version = false;
};

// Parses the arguments after the program name; an error text on misuse.
std::optional<TRecvOptions> ParseRecvOptions(const std::vector<std::string>& Args,
                                             std::string& Error);

std::string RecvUsage();

// The name used when --output is not given: "channels-20261209-081500.tcn".
std::string DefaultOutputName(ContentType Type);
