#include "serial/recording/trace_log_switch.h"

#include <algorithm>

#include "serial/errors/check_exception.h"
#include "serial/errors/error_codes.h"

TTraceLogSwitch::TTraceLogSwitch(uint32_t maxSize, uint32_t size, std::string fileName, bool hex,
                                 bool allHex, const TRivuLoadState* owner)
    : maxSize_(maxSize),
      size_(std::min(size, maxSize)),
      fileName_(std::move(fileName)),
      hex_(hex),
      allHex_(allHex),
      owner_(owner) {}

void TTraceLogSwitch::Check(int32_t result) const {
  CheckException(owner_, result);
}

void TTraceLogSwitch::SetState(TTraceLogState value, ITraceLogRecorder* recorder, bool reapply) {
  if (value == state_ && !reapply) return;
  if (recorder == nullptr) {
    // Only a wish to record can wait for the port to open.
    state_ = value == tlOn ? tlOn : tlOff;
    return;
  }
  ApplyOpen(value, *recorder);
}

void TTraceLogSwitch::ApplyOpen(TTraceLogState value, ITraceLogRecorder& recorder) {
  switch (value) {
    case tlOff:
      if (Active()) {
        recorder.Abort();
        state_ = tlOff;
      }
      break;
    case tlOn:
      if (state_ == tlPause) {
        recorder.Start();
        state_ = tlOn;
      } else {
        const int32_t rc = recorder.Init(size_);
        state_ = rc == ecOK ? tlOn : tlOff;
        Check(rc);
      }
      break;
    case tlDump:
    case tlAppend:
      if (Active()) {
        recorder.Start();
        const int32_t rc = value == tlDump ? recorder.Dump(fileName_, hex_, allHex_)
                                           : recorder.Append(fileName_, hex_, allHex_);
        FinishDump(rc, recorder);
      }
      break;
    case tlClear:
      if (Active()) Check(recorder.Clear());
      break;
    case tlPause:
      if (state_ == tlOn) {
        recorder.Stop();
        state_ = tlPause;
      }
      break;
    case tlAppendAndContinue:
      if (Active()) {
        recorder.Start();
        const int32_t rc = recorder.Append(fileName_, hex_, allHex_);
        // A trace file that could not be opened discards the trace.
        state_ = recorder.Recording() ? tlOn : tlOff;
        Check(rc);
      }
      break;
  }
}

void TTraceLogSwitch::FinishDump(int32_t result, ITraceLogRecorder& recorder) {
  if (result == ecOK) recorder.Abort();
  // A failed write leaves a recorder that goes on (a restarted trace, a log
  // that kept its entries): the state says so, and tlOff can still end it.
  state_ = result != ecOK && recorder.Recording() ? tlOn : tlOff;
  Check(result);
}

void TTraceLogSwitch::SetSize(uint32_t size, ITraceLogRecorder* recorder) {
  size = std::min(size, maxSize_);
  if (size == size_) return;
  size_ = size;
  if (recorder == nullptr || !Active()) return;
  const TTraceLogState resume = state_;
  recorder->Abort();
  state_ = tlOff;
  // tlOn starts afresh at the new size; tlPause from off stays off.
  ApplyOpen(resume, *recorder);
}

void TTraceLogSwitch::Init(uint32_t size, ITraceLogRecorder* recorder) {
  if (recorder == nullptr) return;
  if (size != 0 && std::min(size, maxSize_) != size_) {
    size_ = std::min(size, maxSize_);
    // An existing recorder would keep its old size.
    recorder->Abort();
  }
  const int32_t rc = recorder->Init(size_);
  state_ = rc == ecOK ? tlOn : tlOff;
  Check(rc);
}

void TTraceLogSwitch::Dump(const std::string& fileName, bool hex, ITraceLogRecorder* recorder) {
  if (recorder == nullptr) return;
  FinishDump(recorder->Dump(fileName, hex, allHex_), *recorder);
}

void TTraceLogSwitch::Append(const std::string& fileName, bool hex, TTraceLogState newState,
                             ITraceLogRecorder* recorder) {
  if (recorder == nullptr) return;
  const int32_t rc = recorder->Append(fileName, hex, allHex_);
  if (rc != ecOK) {
    state_ = recorder->Recording() ? tlOn : tlOff;
    Check(rc);
    return;
  }
  switch (newState) {
    case tlOn:
    case tlClear:
    case tlAppendAndContinue:
      recorder->Start();
      state_ = tlOn;
      break;
    case tlPause:
      recorder->Stop();
      state_ = tlPause;
      break;
    case tlOff:
    case tlDump:
    case tlAppend:
      recorder->Abort();
      state_ = tlOff;
      break;
  }
}

void TTraceLogSwitch::Clear(ITraceLogRecorder* recorder) {
  if (recorder != nullptr) Check(recorder->Clear());
}

void TTraceLogSwitch::Abort(ITraceLogRecorder* recorder) {
  if (recorder == nullptr) return;
  recorder->Abort();
  state_ = tlOff;
}

void TTraceLogSwitch::Start(ITraceLogRecorder* recorder) {
  if (recorder == nullptr) return;
  recorder->Start();
  state_ = tlOn;
}

void TTraceLogSwitch::Stop(ITraceLogRecorder* recorder) {
  if (recorder == nullptr) return;
  recorder->Stop();
  state_ = tlPause;
}
