// The com port component's side of tracing and logging: the `Tracing` and
// `Logging` states, the size, file name and hex switches, and what changing
// them does to the open port's recorder.
#pragma once

#include <cstdint>
#include <string>

class TRivuLoadState;

enum TTraceLogState : uint8_t {
  tlOff,
  tlOn,
  tlDump,
  tlAppend,
  tlClear,
  tlPause,
  tlAppendAndContinue,
};

// One recorder of an open port, as the component drives it (the dispatcher
// forwards to its trace or its dispatch log).
class ITraceLogRecorder {
 public:
  virtual ~ITraceLogRecorder() = default;
  virtual int32_t Init(uint32_t size) = 0;
  virtual int32_t Clear() = 0;
  virtual void Abort() = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual int32_t Dump(const std::string& fileName, bool inHex, bool allHex) = 0;
  virtual int32_t Append(const std::string& fileName, bool inHex, bool allHex) = 0;
  // Switched on (a trace that could not be written to its file is gone).
  virtual bool Recording() const = 0;
};

// Holds one of the two states with its settings. Calls take the recorder of
// the open port, or null while the port is not open; the component makes no
// call while the port is shutting down. Error results of the recorder raise
// through CheckException after the state has been brought up to date.
// User-interface thread only.
class TTraceLogSwitch {
 public:
  TTraceLogSwitch(uint32_t maxSize, uint32_t size, std::string fileName, bool hex, bool allHex,
                  const TRivuLoadState* owner = nullptr);

  TTraceLogState State() const { return state_; }
  uint32_t Size() const { return size_; }
  const std::string& FileName() const { return fileName_; }
  bool Hex() const { return hex_; }
  bool AllHex() const { return allHex_; }
  void SetFileName(std::string name) { fileName_ = std::move(name); }
  void SetHex(bool hex) { hex_ = hex; }
  void SetAllHex(bool allHex) { allHex_ = allHex; }

  // The `Tracing` / `Logging` setter. An unchanged value does nothing unless
  // `reapply` is set (the component applies its stored state after opening).
  void SetState(TTraceLogState value, ITraceLogRecorder* recorder, bool reapply = false);
  // The `TraceSize` / `LogSize` setter: capped at the maximum; while open, a
  // running or paused recorder starts again at the new size.
  void SetSize(uint32_t size, ITraceLogRecorder* recorder);

  // The component's operations; each does nothing without a recorder.
  void Init(uint32_t size, ITraceLogRecorder* recorder);
  void Dump(const std::string& fileName, bool hex, ITraceLogRecorder* recorder);
  void Append(const std::string& fileName, bool hex, TTraceLogState newState,
              ITraceLogRecorder* recorder);
  void Clear(ITraceLogRecorder* recorder);
  void Abort(ITraceLogRecorder* recorder);
  void Start(ITraceLogRecorder* recorder);
  void Stop(ITraceLogRecorder* recorder);

 private:
  bool Active() const { return state_ == tlOn || state_ == tlPause; }
  void ApplyOpen(TTraceLogState value, ITraceLogRecorder& recorder);
  // After a file was written: off, with nothing left recording behind the
  // state; after a failed write, on when the recorder still records.
  void FinishDump(int32_t result, ITraceLogRecorder& recorder);
  void Check(int32_t result) const;

  uint32_t maxSize_;
  uint32_t size_;
  std::string fileName_;
  bool hex_;
  bool allHex_;
  const TRivuLoadState* owner_;
  TTraceLogState state_ = tlOff;
};
