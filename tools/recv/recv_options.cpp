#include "tools/recv/recv_options.h"

#include <charconv>
#include <ctime>

namespace {

struct TTypeName {
  const char* name;
  ContentType type;
};
constexpr TTypeName kTypeNames[] = {{"channels", ContentType::ctChannels},
                                    {"logo", ContentType::ctLogo},
                                    {"data", ContentType::ctData},
                                    {"net", ContentType::ctNetConfig}};

const char* NameOf(ContentType type) {
  for (const auto& t : kTypeNames) {
    if (t.type == type) return t.name;
  }
  return "content";
}

}  // namespace

std::string RecvUsage() {
  return "Usage: zedazi-recv --port PORT --type channels|logo|data|net [--output FILE]\n"
         "                   [--idle-timeout SECONDS] [--quiet]\n"
         "       zedazi-recv --list-ports\n"
         "Receives one download from the box on PORT (a device path such as\n"
         "/dev/ttyUSB0, or COMn) and saves it.\n"
         "\n"
         "  --port PORT            serial device path or COM number\n"
         "  --type TYPE            what to request: channels, logo, data or net\n"
         "  --output FILE          file to write (default: TYPE-DATE-TIME.EXT here)\n"
         "  --idle-timeout SECONDS give up when nothing happens for this long\n"
         "  --quiet                no progress bar\n"
         "  --list-ports           list COM1..COM50: device, USB ids, free or held\n"
         "  --help, --version\n"
         "\n"
         "Exit codes: 0 file written, 1 download failed or refused, 2 usage,\n"
         "3 port could not be opened, 4 file could not be written.\n"
         "Ctrl-C, SIGTERM or SIGHUP stops the download; the program then ends by that\n"
         "signal, unless the file was being saved and got written (exit code 0).\n";
}

std::optional<TRecvOptions> ParseRecvOptions(const std::vector<std::string>& Args,
                                             std::string& Error) {
  TRecvOptions options;
  bool haveType = false;
  for (std::size_t i = 0; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    auto value = [&]() -> const std::string* {
      if (i + 1 >= Args.size()) {
        Error = arg + " needs a value";
        return nullptr;
      }
      return &Args[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--version") {
      options.Version = true;
    } else if (arg == "--list-ports") {
      options.ListPorts = true;
    } else if (arg == "--quiet" || arg == "-q") {
      options.Quiet = true;
    } else if (arg == "--port") {
      const auto* v = value();
      if (!v) return std::nullopt;
      options.Port = *v;
    } else if (arg == "--output" || arg == "-o") {
      const auto* v = value();
      if (!v) return std::nullopt;
      options.Output = *v;
    } else if (arg == "--type") {
      const auto* v = value();
      if (!v) return std::nullopt;
      haveType = false;
      for (const auto& t : kTypeNames) {
        if (*v == t.name) {
          options.Type = t.type;
          haveType = true;
        }
      }
      if (!haveType) {
        Error = "unknown type '" + *v + "' (channels, logo, data or net)";
        return std::nullopt;
      }
    } else if (arg == "--idle-timeout") {
      const auto* v = value();
      if (!v) return std::nullopt;
      int seconds = 0;
      const auto [end, err] = std::from_chars(v->data(), v->data() + v->size(), seconds);
      if (err != std::errc() || end != v->data() + v->size() || seconds <= 0) {
        Error = "--idle-timeout needs a whole number of seconds above 0";
        return std::nullopt;
      }
      options.IdleTimeoutSeconds = seconds;
    } else {
      Error = "unknown argument '" + arg + "'";
      return std::nullopt;
    }
  }
  if (options.Help || options.Version || options.ListPorts) return options;
  if (options.Port.empty()) {
    Error = "--port is required";
    return std::nullopt;
  }
  if (!haveType) {
    Error = "--type is required";
    return std::nullopt;
  }
  return options;
}

std::string DefaultOutputName(ContentType Type) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return std::string(NameOf(Type)) + "-" + stamp + std::string(Describe(Type).defaultExtension);
}
