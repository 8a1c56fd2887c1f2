// zedazi-recv: one download from the box without a window, for scripts,
// headless machines and the demo.
#include <cstdio>
#include <regex>

#include "download/com_port_link.h"
#include "download/task_state.h"
#include "download/up_thread.h"
#include "serial/component/com_port.h"
#include "serial/ports/port_holder.h"
#include "serial/ports/port_map.h"
#include "tools/recv/port_listing.h"
#include "tools/recv/recv_options.h"
#include "tools/recv/recv_platform.h"
#include "tools/recv/recv_view.h"

namespace {

enum ExitCode { kWritten = 0, kFailed = 1, kUsage = 2, kNoPort = 3, kNotWritten = 4 };

int Run(const TRecvOptions& options) {
  PrepareStopRequests();

  std::unique_ptr<TPathPort> pathPort;
  uint16_t comNumber = 0;
  std::smatch match;
  static const std::regex comName(R"(COM([1-9][0-9]?))", std::regex::icase);
  if (std::regex_match(options.Port, match, comName)) {
    comNumber = static_cast<uint16_t>(std::stoi(match[1]));
  } else {
    pathPort = PortForPath(options.Port, comNumber);
  }

  TPlainPlatform platform;
  TRivuComPort port(nullptr, &platform);
  port.SetPromptForPort(false);
  port.SetInSize(16384);
  port.SetOutSize(16384);
  port.SetRTS(false);
  port.SetBaud(115200);
  port.SetDataBits(8);
  port.SetStopBits(1);
  port.SetParity(pNone);
  port.SetComNumber(comNumber);
  try {
    port.SetOpen(true);
    port.FlushInBuffer();
    port.FlushOutBuffer();
  } catch (const std::exception& e) {
    // The refusal's own text names the device already.
    const std::string what = OpenFailureText(e, CurrentPortMap().PathOf(comNumber));
    if (what.find(options.Port) != std::string::npos)
      std::fprintf(stderr, "zedazi-recv: %s\n", what.c_str());
    else
      std::fprintf(stderr, "zedazi-recv: cannot open %s: %s\n", options.Port.c_str(), what.c_str());
    return kNoPort;
  }

  TComPortLink link(port);
  TRecvView view(options.Type,
                 options.Output.empty() ? DefaultOutputName(options.Type) : options.Output,
                 !options.Quiet && StderrIsTerminal());
  TaskRunning = true;
  UpThread task(link, view);
  TStopWatcher watcher([&task] { task.RequestStop(); });
  task.Start();
  if (!view.WaitDone(std::chrono::seconds(options.IdleTimeoutSeconds))) {
    std::fprintf(stderr, "zedazi-recv: nothing happened for %d s; giving up\n",
                 options.IdleTimeoutSeconds);
    task.RequestStop();
    view.WaitDone(std::chrono::seconds(0));
  }
  task.Join();
  port.SetOpen(false);

  // A stop from the save dialog on lets the file be written: that counts.
  if (!view.SaveReached()) return kFailed;
  if (view.FileError()) return kNotWritten;
  std::fprintf(stderr, "Wrote %s\n", view.SavedName().c_str());
  return kWritten;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ParseRecvOptions({argv + 1, argv + argc}, error);
  if (!options) {
    std::fprintf(stderr, "zedazi-recv: %s\n%s", error.c_str(), RecvUsage().c_str());
    return kUsage;
  }
  if (options->Help) {
    std::fputs(RecvUsage().c_str(), stdout);
    return 0;
  }
  if (options->Version) {
    std::puts("zedazi-recv 1.30");
    return 0;
  }
  if (options->ListPorts) {
    std::fputs(ListPorts(CurrentPortMap(), CurrentPortMapConfig()).c_str(), stdout);
    return 0;
  }
  int code = kFailed;
  try {
    code = Run(*options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zedazi-recv: %s\n", e.what());
  }
  return ExitAfterStop(code, code == kWritten);
}
