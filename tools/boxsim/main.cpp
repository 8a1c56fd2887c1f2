// zedazi-boxsim: a simulated box on a pseudo-terminal, for the demo, for
// trying the tool without a box, and as the peer of end-to-end tests.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <optional>
#include <string_view>
#include <vector>

#include "tools/boxsim/cli.h"
#include "tools/boxsim/port_link.h"
#include "tools/boxsim/simulator.h"

namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnSignal(int) {
  stopRequested.store(true);
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace boxsim;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  std::string error;
  std::optional<CommandLine> line = ParseCommandLine(args, error);
  if (line && !line->help && !LoadContentFiles(*line, error)) line.reset();
  if (!line) {
    std::fprintf(stderr, "zedazi-boxsim: %s\nTry 'zedazi-boxsim --help'.\n", error.c_str());
    return 2;
  }
  if (line->help) {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }

  InstallSignalHandlers();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const auto start = std::chrono::steady_clock::now();
  line->box.sink = [start](const Event& event) {
    // Repeated greetings while nobody is connected would drown the rest.
    if (event.kind == EventKind::kGreeting && event.attempt > 1) return;
    std::printf("%s\n", FormatEvent(event, start).c_str());
  };

  try {
    std::optional<BoxSimulator> served;
    if (line->device.empty()) {
      served.emplace(line->box);
    } else {
      served.emplace(OpenDevice(line->device.string(), line->box.baud), line->box);
    }
    BoxSimulator& box = *served;
    const std::string linePath = line->device.empty() ? box.SlavePath() : line->device.string();
    std::optional<PortLink> comLink;
    std::optional<PortLink> pathLink;
    if (line->com > 0) {
      comLink.emplace(PortLinksFolder() / ("com" + std::to_string(line->com)), box.SlavePath());
    }
    if (!line->link.empty()) pathLink.emplace(line->link, box.SlavePath());

    std::printf("Serving on %s\n", linePath.c_str());
    if (comLink) {
      std::printf("COM%d: %s -> %s\n", line->com, comLink->Path().c_str(), box.SlavePath().c_str());
    }
    if (pathLink)
      std::printf("Link: %s -> %s\n", pathLink->Path().c_str(), box.SlavePath().c_str());

    while (!stopRequested.load() && !box.WaitDone(std::chrono::milliseconds(100))) {
    }
    if (!stopRequested.load()) {
      // Let the tool read the last words, then close its port: closing the
      // line under an open port shows the tool a hang-up. A box that hung up
      // is gone already.
      box.StopAndDrain(std::chrono::seconds(2));
      box.AwaitToolClosed(std::chrono::seconds(5), [] { return stopRequested.load(); });
    }
    box.Stop();
    const std::vector<SessionResult> sessions = box.Sessions();
    if (stopRequested.load()) std::printf("Stopped\n");
    if (line->box.once) {
      return !sessions.empty() && sessions.back().outcome == Outcome::kCompleted ? 0 : 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zedazi-boxsim: %s\n", e.what());
    return 1;
  }
}
