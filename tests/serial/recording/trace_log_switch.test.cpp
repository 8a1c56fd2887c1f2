#include "serial/recording/trace_log_switch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "serial/errors/check_exception.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"
#include "serial/recording/trace.h"
#include "tests/serial/temp_folder.h"

namespace {

// Records the calls it gets, so a row can state what a change does.
class FakeRecorder : public ITraceLogRecorder {
 public:
  int32_t Init(uint32_t size) override {
    recording = initResult == ecOK;
    return Note("Init(" + std::to_string(size) + ")", initResult);
  }
  int32_t Clear() override { return Note("Clear", ecOK); }
  void Abort() override { recording = Note("Abort", 0) != 0; }
  void Start() override { recording = Note("Start", 1) != 0; }
  void Stop() override { recording = Note("Stop", 0) != 0; }
  int32_t Dump(const std::string& name, bool hex, bool allHex) override {
    return Written("Dump", name, hex, allHex);
  }
  int32_t Append(const std::string& name, bool hex, bool allHex) override {
    return Written("Append", name, hex, allHex);
  }
  bool Recording() const override { return recording; }

  std::string calls;
  int32_t initResult = ecOK;
  int32_t dumpResult = ecOK;
  bool discardOnFailure = false;  // as a trace whose file cannot be opened
  bool recording = false;

 private:
  int32_t Note(const std::string& what, int32_t rc) {
    calls += what + " ";
    return rc;
  }
  int32_t Written(const char* what, const std::string& name, bool hex, bool allHex) {
    if (dumpResult != ecOK && discardOnFailure) recording = false;
    return Note(what + ("(" + name + ",") + std::to_string(hex) + std::to_string(allHex) + ")",
                dumpResult);
  }
};

TTraceLogSwitch MakeSwitch() {
  return TTraceLogSwitch(kMaxTraceEntries, 10, "T.TRC", true, false);
}

// Brings a switch to `state` on an open port, then forgets the calls.
void Reach(TTraceLogSwitch& s, FakeRecorder& r, TTraceLogState state) {
  if (state != tlOff) s.SetState(tlOn, &r);
  if (state == tlPause) s.SetState(tlPause, &r);
  ASSERT_EQ(s.State(), state);
  r.calls.clear();
}

struct Row {
  TTraceLogState from;
  TTraceLogState to;
  const char* calls;
  TTraceLogState result;
};

TEST(TraceLogSwitch, StateTableWhileOpen) {
  const Row rows[] = {
      {tlOff, tlOn, "Init(10) ", tlOn},
      {tlOff, tlDump, "", tlOff},
      {tlOff, tlAppend, "", tlOff},
      {tlOff, tlClear, "", tlOff},
      {tlOff, tlPause, "", tlOff},
      {tlOff, tlAppendAndContinue, "", tlOff},

      {tlOn, tlOff, "Abort ", tlOff},
      {tlOn, tlDump, "Start Dump(T.TRC,10) Abort ", tlOff},
      {tlOn, tlAppend, "Start Append(T.TRC,10) Abort ", tlOff},
      {tlOn, tlClear, "Clear ", tlOn},
      {tlOn, tlPause, "Stop ", tlPause},
      {tlOn, tlAppendAndContinue, "Start Append(T.TRC,10) ", tlOn},

      {tlPause, tlOff, "Abort ", tlOff},
      {tlPause, tlOn, "Start ", tlOn},
      {tlPause, tlDump, "Start Dump(T.TRC,10) Abort ", tlOff},
      {tlPause, tlAppend, "Start Append(T.TRC,10) Abort ", tlOff},
      {tlPause, tlClear, "Clear ", tlPause},
      {tlPause, tlAppendAndContinue, "Start Append(T.TRC,10) ", tlOn},
  };
  for (const Row& row : rows) {
    TTraceLogSwitch s = MakeSwitch();
    FakeRecorder r;
    Reach(s, r, row.from);
    s.SetState(row.to, &r);
    EXPECT_EQ(r.calls, row.calls) << int(row.from) << " -> " << int(row.to);
    EXPECT_EQ(s.State(), row.result) << int(row.from) << " -> " << int(row.to);
  }
}

TEST(TraceLogSwitch, UnchangedValueActsOnlyWhenReapplied) {
  for (TTraceLogState state : {tlOff, tlOn, tlPause}) {
    TTraceLogSwitch s = MakeSwitch();
    FakeRecorder r;
    Reach(s, r, state);
    s.SetState(state, &r);
    EXPECT_EQ(r.calls, "");
  }
  TTraceLogSwitch s = MakeSwitch();
  FakeRecorder r;
  Reach(s, r, tlOn);
  s.SetState(tlOn, &r, true);  // applied after an open: a new trace
  EXPECT_EQ(r.calls, "Init(10) ");
  EXPECT_EQ(s.State(), tlOn);
}

TEST(TraceLogSwitch, WhileClosedOnlyOnAndOffAreStored) {
  const TTraceLogState values[] = {
      tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause, tlAppendAndContinue};
  for (TTraceLogState from : {tlOff, tlOn}) {
    for (TTraceLogState to : values) {
      TTraceLogSwitch s = MakeSwitch();
      s.SetState(from, nullptr);
      s.SetState(to, nullptr);
      EXPECT_EQ(s.State(), to == tlOn ? tlOn : tlOff) << int(from) << " -> " << int(to);
    }
  }
}

TEST(TraceLogSwitch, SizesAreCappedAndRestartWhileOpen) {
  TTraceLogSwitch trace(kMaxTraceEntries, 10000, "RIVU.TRC", false, false);
  trace.SetSize(5000000, nullptr);
  EXPECT_EQ(trace.Size(), 4000000u);
  TTraceLogSwitch log(16000000, 10000, "RIVU.LOG", true, false);
  log.SetSize(20000000, nullptr);
  EXPECT_EQ(log.Size(), 16000000u);

  const Row rows[] = {
      {tlOff, tlOff, "", tlOff},
      {tlOn, tlOn, "Abort Init(20) ", tlOn},
      {tlPause, tlPause, "Abort ", tlOff},
  };
  for (const Row& row : rows) {
    TTraceLogSwitch s = MakeSwitch();
    FakeRecorder r;
    Reach(s, r, row.from);
    s.SetSize(20, &r);
    EXPECT_EQ(r.calls, row.calls) << int(row.from);
    EXPECT_EQ(s.State(), row.result) << int(row.from);
    EXPECT_EQ(s.Size(), 20u);
    r.calls.clear();
    s.SetSize(20, &r);  // unchanged
    EXPECT_EQ(r.calls, "");
  }
}

TEST(TraceLogSwitch, FailuresRaiseWithTheStateUpToDate) {
  TTraceLogSwitch s = MakeSwitch();
  FakeRecorder r;
  r.initResult = ecOutOfMemory;
  EXPECT_THROW(s.SetState(tlOn, &r), EOutOfMemory);
  EXPECT_EQ(s.State(), tlOff);

  // A log that could not be written keeps its entries for another try, and
  // says it still records: tlOff then ends it.
  r.initResult = ecOK;
  Reach(s, r, tlOn);
  r.dumpResult = ecPathNotFound;
  EXPECT_THROW(s.SetState(tlDump, &r), EInOutError);
  EXPECT_EQ(r.calls, "Start Dump(T.TRC,10) ");
  EXPECT_EQ(s.State(), tlOn);
  EXPECT_THROW(s.Dump("other", false, &r), EInOutError);
  EXPECT_EQ(s.State(), tlOn);
  s.SetState(tlOff, &r);
  EXPECT_FALSE(r.recording);
  r.calls.clear();

  // A trace whose file could not be opened is gone, so it is not running.
  Reach(s, r, tlOn);
  r.discardOnFailure = true;
  EXPECT_THROW(s.SetState(tlAppendAndContinue, &r), EInOutError);
  EXPECT_EQ(s.State(), tlOff);
}

TEST(TraceLogSwitch, Operations) {
  TTraceLogSwitch s = MakeSwitch();
  FakeRecorder r;
  s.Init(0, nullptr);  // closed: nothing
  EXPECT_EQ(s.State(), tlOff);
  s.Init(0, &r);
  EXPECT_EQ(r.calls, "Init(10) ");
  s.Init(50, &r);
  EXPECT_EQ(r.calls, "Init(10) Abort Init(50) ");
  EXPECT_EQ(s.Size(), 50u);
  EXPECT_EQ(s.State(), tlOn);

  r.calls.clear();
  s.Stop(&r);
  EXPECT_EQ(s.State(), tlPause);
  s.Start(&r);
  EXPECT_EQ(s.State(), tlOn);
  s.Append("x.trc", false, tlPause, &r);
  EXPECT_EQ(s.State(), tlPause);
  s.Append("x.trc", true, tlAppendAndContinue, &r);
  EXPECT_EQ(s.State(), tlOn);
  s.Dump("y.trc", false, &r);
  EXPECT_EQ(s.State(), tlOff);
  EXPECT_EQ(r.calls,
            "Stop Start Append(x.trc,00) Stop Append(x.trc,10) Start Dump(y.trc,00) Abort ");
  EXPECT_FALSE(r.recording);
}

// The trace as the dispatcher offers it to the component.
class TraceTarget : public ITraceLogRecorder {
 public:
  explicit TraceTarget(TTraceRecorder& t) : t_(t) {}
  int32_t Init(uint32_t size) override { return t_.InitTracing(size); }
  int32_t Clear() override { return t_.ClearTracing(); }
  void Abort() override { t_.AbortTracing(); }
  void Start() override { t_.StartTracing(); }
  void Stop() override { t_.StopTracing(); }
  int32_t Dump(const std::string& n, bool h, bool a) override { return t_.DumpTrace(n, h, a); }
  int32_t Append(const std::string& n, bool h, bool a) override { return t_.AppendTrace(n, h, a); }
  bool Recording() const override { return t_.TracingOn(); }

 private:
  TTraceRecorder& t_;
};

TEST(TraceLogSwitch, ClosingWritesTheTraceOnlyWhenOn) {
  TTempFolder folder;
  std::recursive_mutex lock;
  for (TTraceLogState state : {tlOff, tlOn, tlPause}) {
    const std::string name = folder.File("close" + std::to_string(state) + ".trc");
    TTraceLogSwitch s(kMaxTraceEntries, 100, name, false, false);
    TTraceRecorder trace(lock);
    TraceTarget target(trace);
    s.SetState(tlOn, nullptr);             // stored while closed
    s.SetState(s.State(), &target, true);  // applied when the port opens
    trace.AddTraceEntry(kTraceTransmit, 'A');
    s.SetState(state, &target);
    trace.AddTraceEntry(kTraceTransmit, 'B');  // what the component would add itself
    s.SetState(tlDump, &target);               // the close
    EXPECT_EQ(s.State(), tlOff);
    EXPECT_FALSE(trace.TracingOn());
    if (state == tlOff) {
      EXPECT_FALSE(std::filesystem::exists(name));
    } else {
      EXPECT_EQ(ReadWholeFile(name), "Transmit: \r\nAB\r\n") << int(state);
    }
  }
}

}  // namespace
