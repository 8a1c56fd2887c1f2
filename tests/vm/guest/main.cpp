// zedazi-vmcheck: the checks that run inside the virtual machine, on the
// kernel's real serial drivers. Each subcommand prints a line per check and
// exits 0 when all passed.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include "tests/vm/guest/guest_port.h"
#include "tools/boxsim/content.h"
#include "tools/boxsim/options.h"

namespace vmguest {

bool WaitFor(const std::function<bool()>& Condition, std::chrono::milliseconds Timeout) {
  const auto Deadline = std::chrono::steady_clock::now() + Timeout;
  while (!Condition()) {
    if (std::chrono::steady_clock::now() >= Deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// The file a flawless download from the simulator's default box gives.
int RunExpect(const std::string& Type, const std::string& Out) {
  static constexpr std::pair<std::string_view, ContentType> kTypes[] = {
      {"channels", ContentType::ctChannels},
      {"logo", ContentType::ctLogo},
      {"data", ContentType::ctData},
      {"net", ContentType::ctNetConfig}};
  for (const auto& [Name, Kind] : kTypes) {
    if (Name != Type) continue;
    const boxsim::Plan Plan = boxsim::MakePlan(boxsim::BoxOptions{}, Kind);
    const boxsim::Bytes File = boxsim::FileBytes(Plan.header, Plan.content);
    std::ofstream(Out, std::ios::binary)
        .write(reinterpret_cast<const char*>(File.data()), std::streamsize(File.size()));
    return 0;
  }
  return 2;
}

}  // namespace vmguest

int main(int argc, char** argv) {
  using namespace vmguest;
  const std::string Verb = argc > 1 ? argv[1] : "";
  auto Arg = [&](int I) { return std::string(I < argc ? argv[I] : ""); };
  if (Verb == "expect" && argc == 4) return RunExpect(Arg(2), Arg(3));
  if (Verb == "settings" && argc == 4) return RunSettings(Arg(2), Arg(3));
  if (Verb == "purge" && argc == 6) {
    auto Number = [&](int I) { return uint32_t(std::strtoul(argv[I], nullptr, 10)); };
    return RunPurge(Arg(2), Number(3), Number(4), Number(5));
  }
  if (Verb == "lines" && argc == 4) return RunLines(Arg(2), Arg(3));
  if (Verb == "pulled" && argc > 5 && Arg(4) == "--") return RunPulled(Arg(2), Arg(3), argv + 5);
  if (Verb == "reopen" && argc == 3) return RunReopen(Arg(2));
  std::fputs(
      "Usage: zedazi-vmcheck expect TYPE FILE | settings DEV uart|usb | purge DEV uart|usb SEED "
      "SIZE |\n"
      "       lines DEV uart|usb | pulled DEV NOFILE -- COMMAND... | reopen DEV\n",
      stderr);
  return 2;
}
