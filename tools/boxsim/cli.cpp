#include "tools/boxsim/cli.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace boxsim {
namespace {

constexpr uintmax_t kMaxContentFile = 256u << 20;

std::optional<uint64_t> Number(std::string_view text, uint64_t max) {
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value > max) {
    return std::nullopt;
  }
  return value;
}

std::optional<ContentType> TypeByName(std::string_view name) {
  for (const ContentTypeInfo& info : ContentTypes()) {
    std::string caption(info.caption);
    for (char& c : caption) c = c == ' ' ? '-' : static_cast<char>(std::tolower(c));
    const std::string_view ext = info.defaultExtension.substr(1);
    if (name == caption || name == ext ||
        (info.type == ContentType::ctNetConfig && name == "net")) {
      return info.type;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(std::span<const std::string_view> args,
                                            std::string& error) {
  CommandLine line;
  line.box.once = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 < args.size()) return args[++i];
      error = std::string(arg) + " needs a value";
      return std::nullopt;
    };
    // `range` says what would do, for values out of it.
    const auto bad = [&](std::string_view what, const std::string& range = {}) {
      error = "bad value for " + std::string(arg) + ": " + std::string(what);
      if (!range.empty()) error += " (" + range + ")";
      return std::nullopt;
    };

    if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--once") {
      line.box.once = true;
    } else if (arg == "--com" || arg == "--baud" || arg == "--chunk" || arg == "--packet-size" ||
               arg == "--greeting-interval" || arg == "--reply-delay" || arg == "--reply-timeout") {
      const auto text = value();
      if (!text) return std::nullopt;
      const auto n = Number(*text, UINT32_MAX);
      if (!n) return bad(*text);
      if (arg == "--com") {
        if (*n < 1 || *n > kMaxComNumber) return bad(*text);
        line.com = static_cast<int>(*n);
      } else if (arg == "--baud") {
        if (*n > kMaxBaud) return bad(*text, "at most " + std::to_string(kMaxBaud));
        line.box.baud = static_cast<uint32_t>(*n);
      } else if (arg == "--chunk") {
        if (*n < 1 || *n > kMaxChunkSize) {
          return bad(*text, "1 to " + std::to_string(kMaxChunkSize) + " bytes");
        }
        line.box.chunkSize = static_cast<uint32_t>(*n);
      } else if (arg == "--packet-size") {
        if (*n < 1 || *n > kMaxPayload) return bad(*text);
        line.box.payloadSize = static_cast<uint32_t>(*n);
      } else if (arg == "--greeting-interval") {
        line.box.greetingInterval = std::chrono::milliseconds(*n);
      } else if (arg == "--reply-delay") {
        if (std::chrono::milliseconds(*n) > kMaxReplyDelay) {
          return bad(*text, "at most " + std::to_string(kMaxReplyDelay.count()) + " ms");
        }
        line.box.replyDelay = std::chrono::milliseconds(*n);
      } else {
        line.box.replyTimeout = std::chrono::milliseconds(*n);
      }
    } else if (arg == "--link" || arg == "--device") {
      const auto text = value();
      if (!text) return std::nullopt;
      if (text->empty()) return bad("an empty path");
      (arg == "--link" ? line.link : line.device) = std::string(*text);
    } else if (arg == "--content") {
      const auto text = value();
      if (!text) return std::nullopt;
      const std::size_t eq = text->find('=');
      const auto type = TypeByName(text->substr(0, eq));
      if (eq == std::string_view::npos || !type || eq + 1 == text->size()) return bad(*text);
      line.contentFiles[*type] = std::string(text->substr(eq + 1));
    } else if (arg == "--fault") {
      const auto text = value();
      if (!text) return std::nullopt;
      std::string why;
      const auto fault = Fault::Parse(*text, &why);
      if (!fault) return bad(why);
      line.box.faults.push_back(*fault);
    } else if (arg == "--magic") {
      const auto text = value();
      if (!text) return std::nullopt;
      if (*text == "TAVRA")
        line.box.magic = HeaderMagic::kTavra;
      else if (*text == "TAVO")
        line.box.magic = HeaderMagic::kTavo;
      else if (*text == "MIRO")
        line.box.magic = HeaderMagic::kMiro;
      else
        return bad(*text);
    } else {
      error = "unknown option " + std::string(arg);
      return std::nullopt;
    }
  }
  if (!line.device.empty() && (line.com > 0 || !line.link.empty())) {
    error = "--device serves an existing line: it takes no --com or --link";
    return std::nullopt;
  }
  return line;
}

bool LoadContentFiles(CommandLine& line, std::string& error) {
  for (const auto& [type, path] : line.contentFiles) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
      error = path.string() + ": " + ec.message();
      return false;
    }
    if (size > kMaxContentFile) {
      error = path.string() + ": larger than 256 MiB";
      return false;
    }
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
      error = path.string() + ": cannot be read";
      return false;
    }
    line.box.content[type] = std::move(bytes);
  }
  return true;
}

std::string Usage() {
  return "Usage: zedazi-boxsim [OPTION]...\n"
         "A simulated set-top box: serves downloads on a pseudo-terminal.\n\n"
         "  --device PATH        serve on the serial device PATH instead (a second adapter\n"
         "                       with a null-modem cable to the tool's, or a virtual\n"
         "                       machine's serial line); --baud sets its rate\n"
         "  --com N              link comN (1-50) in the port links folder to the line\n"
         "  --link PATH          make PATH a link to the line\n"
         "  --content TYPE=FILE  send FILE for TYPE (channels|tcn, logo, data|dat, net|ncf);\n"
         "                       repeatable; else built-in sample content\n"
         "  --packet-size N      payload bytes per packet, 1-" +
         std::to_string(kMaxPayload) + " (default " + std::to_string(kMaxPayload) +
         ")\n"
         "  --baud N             pace the line at N baud, 8N1 (default 115200; 0: no pacing)\n"
         "  --chunk BYTES        paced bytes reach the tool this many at a time, as from a\n"
         "                       UART FIFO or USB adapter, 1-" +
         std::to_string(kMaxChunkSize) +
         " (default 64)\n"
         "  --magic M            response header magic: TAVRA (default), TAVO or MIRO\n"
         "  --greeting-interval MS  repeat the greeting until a request comes (default 500;\n"
         "                       0: greet once)\n"
         "  --reply-delay MS     pause before each answer, for a box that takes its time\n"
         "                       (default 0: as soon as the line allows)\n"
         "  --reply-timeout MS   how long to wait for the tool mid-download (default 15000)\n"
         "  --fault F            commit fault F (repeatable); packets count from 0:\n" +
         FaultUsage() +
         "  --once               serve one download and exit (default: one after another)\n"
         "  --help               show this text\n";
}

}  // namespace boxsim
