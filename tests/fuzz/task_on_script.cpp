#include "tests/fuzz/task_on_script.h"

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "download/task_state.h"
#include "download/up_thread.h"
#include "tests/fuzz/scripted_port.h"

namespace {

// Answers every box and cancels the save dialog, so nothing touches the disk.
class QuietView : public TDownloadView {
 public:
  std::vector<std::string> lines;
  void AddLine(std::string_view line) override { lines.emplace_back(line); }
  void SetProgressPosition(int64_t) override {}
  void SetProgressMin(int64_t) override {}
  void SetProgressMax(int64_t) override {}
  void ProgressStepBy(int64_t) override {}
  std::optional<ContentType> CheckedContentType() override { return ContentType::ctChannels; }
  TMsgResult MessageBox(std::string_view, std::string_view, TMsgButtons) override {
    return TMsgResult::mrOk;
  }
  void SetSaveFilter(std::string_view, std::string_view) override {}
  std::optional<std::string> ExecuteSaveDialog(int, uint32_t) override { return std::nullopt; }
  void RunTaskDone(std::function<void()> done) override { done(); }
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "task on script: %s\n", what.c_str());
  std::abort();
}

}  // namespace

void RunTaskOnScript(const uint8_t* data, std::size_t size) {
  TScriptedPort port({data, size});
  QuietView view;
  TTaskTimings timings;
  timings.AfterGreeting = timings.BeforeRequestHeader = timings.BeforeResponseHeader =
      timings.BeforePacket = timings.BeforePacketOk = timings.BlockSilence = timings.DrainQuiet =
          std::chrono::milliseconds(0);
  timings.Level1Limit = timings.Level2Limit = std::chrono::seconds(0);

  TaskRunning = true;
  {
    UpThread task(port, view, timings);
    task.Start();
    task.Join();
  }
  if (TaskRunning) Fail("TaskRunning still set after TaskDone");

  static const std::set<std::string> known = {"Waiting for STB...",
                                              "Level 1: Timeout!!!",
                                              "Level 2: Timeout!!!",
                                              "Initializing Download task...",
                                              "Bad STB response! Aborting...",
                                              "STB rejected request! Aborting...",
                                              "Too many error!!! Aborting...",
                                              "Communication END OK ...",
                                              "Download task terminated!!!"};
  static const std::regex packet(R"(Data packet  \d{3,}  \.{11} (OK|BAD!))");
  if (view.lines.empty() || view.lines.back() != "Download task terminated!!!") {
    Fail("the run did not end with its termination line");
  }
  for (const auto& line : view.lines) {
    if (!known.count(line) && !std::regex_match(line, packet)) Fail("unexpected line: " + line);
  }
}
