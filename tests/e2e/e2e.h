// End-to-end harness: the download task on the com port component, talking
// over a pseudo-terminal to the box simulator, with a view that records what
// the window would show.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "download/com_port_link.h"
#include "download/file_writer.h"
#include "download/request_header.h"
#include "download/task_state.h"
#include "download/up_thread.h"
#include "serial/component/com_port.h"
#include "tests/serial/port_scratch.h"
#include "tools/boxsim/simulator.h"

namespace e2e {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using boxsim::Bytes;
using Lines = std::vector<std::string>;

inline const std::string kStart = "Waiting for STB...";
inline const std::string kInit = "Initializing Download task...";
inline const std::string kEnd = "Communication END OK ...";
inline const std::string kDone = "Download task terminated!!!";

struct TBox {
  std::string Text, Caption;
  TMsgButtons Buttons;
  bool operator==(const TBox&) const = default;
};

// What the window would show, recorded; the save dialog answers SaveAs.
class TRecordingView : public TDownloadView {
 public:
  std::optional<ContentType> Type = ContentType::ctChannels;
  std::optional<std::string> SaveAs;  // empty: the user cancels
  // Called on the task thread after the line is recorded.
  std::function<void(const std::string&)> OnLine;
  std::function<void()> OnSaveDialog;

  void AddLine(std::string_view line) override {
    {
      std::lock_guard lock(mutex_);
      lines_.emplace_back(line);
    }
    changed_.notify_all();
    if (OnLine) OnLine(std::string(line));
  }
  void SetProgressPosition(int64_t p) override {
    Locked([&] { position_ = p; });
  }
  void SetProgressMin(int64_t) override {}
  void SetProgressMax(int64_t m) override {
    Locked([&] { max_ = m; });
  }
  void ProgressStepBy(int64_t d) override {
    Locked([&] {
      position_ += d;
      peak_ = std::max(peak_, position_);
    });
  }
  std::optional<ContentType> CheckedContentType() override { return Type; }
  TMsgResult MessageBox(std::string_view text, std::string_view caption,
                        TMsgButtons buttons) override {
    Locked([&] { boxes_.push_back({std::string(text), std::string(caption), buttons}); });
    return TMsgResult::mrOk;
  }
  void SetSaveFilter(std::string_view, std::string_view ext) override {
    Locked([&] { ext_ = ext; });
  }
  std::optional<std::string> ExecuteSaveDialog(int filterIndex, uint32_t options) override {
    EXPECT_EQ(filterIndex, 1);
    EXPECT_EQ(options, ofEnableSizing);
    Locked([&] { ++saveDialogs_; });
    if (OnSaveDialog) OnSaveDialog();
    if (!SaveAs) return std::nullopt;
    std::lock_guard lock(mutex_);
    return WithDefaultExt(*SaveAs, ext_);
  }
  void RunTaskDone(std::function<void()> done) override {
    done();
    Locked([&] { done_ = true; });
    changed_.notify_all();
  }

  bool WaitDone(std::chrono::milliseconds timeout = 25s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done_; });
  }
  bool WaitLine(const std::string& line, std::chrono::milliseconds timeout = 20s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    });
  }
  Lines LinesSeen() const { return Get(lines_); }
  std::vector<TBox> Boxes() const { return Get(boxes_); }
  int SaveDialogs() const { return Get(saveDialogs_); }
  int64_t Position() const { return Get(position_); }
  int64_t Peak() const { return Get(peak_); }
  int64_t Max() const { return Get(max_); }

 private:
  void Locked(auto f) {
    std::lock_guard lock(mutex_);
    f();
  }
  template <class T>
  T Get(const T& field) const {
    std::lock_guard lock(mutex_);
    return field;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Lines lines_;
  std::vector<TBox> boxes_;
  std::string ext_;
  int saveDialogs_ = 0;
  int64_t position_ = 0, peak_ = 0, max_ = 0;
  bool done_ = false;
};

// Short pauses for most tests; the limits keep their whole-second meaning.
inline TTaskTimings FastTimings() {
  TTaskTimings t;
  t.AfterGreeting = 5ms;
  t.BeforeRequestHeader = 5ms;
  t.BeforeResponseHeader = 5ms;
  t.BeforePacket = 2ms;
  t.BeforePacketOk = 1ms;
  t.Level1Limit = 1s;
  t.Level2Limit = 1s;
  return t;
}

// A quick box: no pacing, small content of each type in small packets.
inline boxsim::BoxOptions QuickBox(std::size_t contentSize = 1000, uint32_t payload = 300) {
  boxsim::BoxOptions options;
  options.baud = 0;
  options.payloadSize = payload;
  options.replyTimeout = 10s;
  for (const ContentTypeInfo& info : ContentTypes()) {
    Bytes bytes(contentSize);
    for (std::size_t i = 0; i < contentSize; ++i) {
      bytes[i] = static_cast<uint8_t>(i * 131 + info.typeByte);
    }
    options.content[info.type] = bytes;
  }
  return options;
}

// QuickBox with the faults given as the program's --fault texts.
inline boxsim::BoxOptions WithFaults(std::initializer_list<const char*> faults,
                                     boxsim::BoxOptions options = QuickBox()) {
  for (const char* text : faults) {
    std::string error;
    const auto fault = boxsim::Fault::Parse(text, &error);
    if (!fault) throw std::invalid_argument(error);
    options.faults.push_back(*fault);
  }
  return options;
}

inline Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The box on COM1, the port open on the test's thread, one task at a time.
class E2ETest : public ::testing::Test {
 protected:
  E2ETest() {
    SetPortMapConfig(scratch.Config());
    fs::create_directories(Out());
    RequestHeader::Instance().Reset();
  }
  ~E2ETest() override {
    {
      std::lock_guard lock(liveMutex_);
      live_ = nullptr;
    }
    task.reset();
    ClosePort();
    box.reset();
    ResetPortMapConfig();
  }

  fs::path Out() const { return scratch.Root() / "out"; }

  void StartBox(boxsim::BoxOptions options) {
    box = std::make_unique<boxsim::BoxSimulator>(std::move(options));
    UseLine(box->SlavePath());
  }
  // COM1 stands for `path`; the port opens on it.
  void UseLine(const std::string& path) {
    fs::remove(scratch.Links() / "com1");
    scratch.Link("com1", path);
    OpenPort();
  }
  void OpenPort() {
    port = std::make_unique<TRivuComPort>(nullptr, &platform);
    port->SetPromptForPort(false);
    port->SetInSize(16384);
    port->SetOutSize(16384);
    port->SetRTS(false);
    port->SetBaud(115200);
    port->SetComNumber(1);
    port->SetOpen(true);
    link = std::make_unique<TComPortLink>(*port);
  }
  // Closes the port as Disconnect does; the component and the task's link
  // stay, since a task may still be inside a call on them.
  void DisconnectPort() {
    if (port) port->SetOpen(false);
  }
  void ClosePort() {
    link.reset();
    if (port) port->SetOpen(false);
    port.reset();
  }

  // Starts one run, as the window's Receive does.
  void StartTask(TTaskTimings timings = FastTimings()) {
    view = std::make_unique<TRecordingView>();
    view->SaveAs = (Out() / "file").string();
    ASSERT_FALSE(TaskRunning);
    TaskRunning = true;
    task = std::make_unique<UpThread>(*link, *view, timings);
    std::lock_guard lock(liveMutex_);
    live_ = task.get();
  }
  // A stop asked from another thread (the box's), as the window would.
  void StopFromAnyThread() {
    std::lock_guard lock(liveMutex_);
    if (live_) live_->RequestStop();
  }
  void Go() { task->Start(); }
  // Waits for TaskDone; the run must end on its own.
  void Finish(std::chrono::milliseconds timeout = 25s) {
    ASSERT_TRUE(view->WaitDone(timeout)) << "the run did not end";
    task->Join();
    EXPECT_FALSE(TaskRunning);
    EXPECT_FALSE(OutFile.IsOpen());
  }
  void Download(ContentType type, TTaskTimings timings = FastTimings()) {
    StartTask(timings);
    view->Type = type;
    Go();
    Finish();
  }

  // The bytes the box received, in order.
  std::vector<boxsim::Event> Received() const {
    std::vector<boxsim::Event> out;
    for (const auto& e : box->Exchange()) {
      if (!e.sent && !e.bytes.empty()) out.push_back(e);
    }
    return out;
  }
  std::vector<boxsim::Event> Events(boxsim::EventKind kind) const {
    return box->Log().Events(kind);
  }

  port_scratch::TScratch scratch;
  TPlainPlatform platform;
  std::unique_ptr<boxsim::BoxSimulator> box;
  std::unique_ptr<TRivuComPort> port;
  std::unique_ptr<TComPortLink> link;
  std::unique_ptr<TRecordingView> view;
  std::unique_ptr<UpThread> task;

 private:
  std::mutex liveMutex_;
  UpThread* live_ = nullptr;
};

// "Data packet  NNN  ........... OK" lines for packets first..last.
inline Lines OkLines(int first, int last) {
  Lines lines;
  for (int i = first; i <= last; ++i) lines.push_back(PacketLine(i, true));
  return lines;
}

inline Lines Concat(std::initializer_list<Lines> parts) {
  Lines out;
  for (const Lines& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace e2e
