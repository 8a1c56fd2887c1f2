#include "tools/boxsim/simulator.h"

#include <exception>

namespace boxsim {
namespace {

uint32_t DribbleMs(const BoxOptions& options) {
  const Fault* f = FindFault(options.faults, FaultKind::kDribble);
  return f ? static_cast<uint32_t>(std::max<uint64_t>(1, std::min<uint64_t>(f->value, 60'000))) : 0;
}

const BoxOptions& Validated(const BoxOptions& options) {
  Validate(options);
  return options;
}

}  // namespace

BoxSimulator::BoxSimulator(BoxOptions options) : BoxSimulator(OpenPty(), std::move(options)) {}

BoxSimulator::BoxSimulator(PtyPair pty, BoxOptions options)
    : BoxSimulator(std::move(pty.master), std::move(pty.slave), pty.slavePath, std::move(options)) {
}

BoxSimulator::BoxSimulator(UniqueFd master, BoxOptions options)
    : BoxSimulator(std::move(master), UniqueFd(), std::string(), std::move(options)) {}

BoxSimulator::BoxSimulator(UniqueFd master, UniqueFd slave, std::string slavePath,
                           BoxOptions options)
    : options_(Validated(options)),
      slavePath_(std::move(slavePath)),
      line_(std::move(master), std::move(slave), stop_, options_.baud, options_.chunkSize,
            DribbleMs(options_)),
      log_(options_.sink),
      thread_(&BoxSimulator::Run, this) {}

BoxSimulator::~BoxSimulator() {
  Stop();
}

void BoxSimulator::Stop() {
  stop_.Raise();
  std::lock_guard lock(joinMutex_);
  if (thread_.joinable()) thread_.join();
}

void BoxSimulator::StopAndDrain(std::chrono::steady_clock::duration timeout) {
  const auto deadline = Clock::now() + timeout;
  Stop();
  line_.Drain(deadline, /*stoppable=*/false);  // the thread is gone: line_ is ours
}

bool BoxSimulator::AwaitToolClosed(std::chrono::steady_clock::duration timeout,
                                   const std::function<bool()>& cancelled) {
  const auto deadline = Clock::now() + timeout;
  Stop();
  return line_.AwaitSlaveClosed(deadline, cancelled);  // the thread is gone: line_ is ours
}

void BoxSimulator::Run() {
  try {
    Box box(line_, options_, log_);
    while (!stop_.Raised()) {
      SessionResult result = box.Serve();
      const bool last = options_.once || line_.Closed() || result.outcome == Outcome::kStopped;
      {
        std::lock_guard lock(mutex_);
        sessions_.push_back(std::move(result));
      }
      changed_.notify_all();
      if (last) break;
    }
  } catch (const std::exception& e) {
    Event event{.kind = EventKind::kSessionEnd, .ok = false};
    event.text = std::string("simulator failed: ") + e.what();
    log_.Record(std::move(event));
  }
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
}

bool BoxSimulator::WaitDone(std::chrono::steady_clock::duration timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return done_; });
}

bool BoxSimulator::WaitSessions(std::size_t count,
                                std::chrono::steady_clock::duration timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return sessions_.size() >= count; });
}

std::vector<SessionResult> BoxSimulator::Sessions() const {
  std::lock_guard lock(mutex_);
  return sessions_;
}

Bytes BoxSimulator::ExpectedFile(ContentType type) const {
  const Plan plan = MakePlan(options_, type);
  return FileBytes(plan.header, plan.content);
}

}  // namespace boxsim
