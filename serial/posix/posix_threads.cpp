#include "serial/posix/posix_threads.h"

#include <cstring>
#include <new>
#include <optional>

#include "serial/errors/error_codes.h"
#include "serial/posix/posix_device.h"
#include "serial/posix/posix_dispatcher.h"
#include "serial/posix/status_change.h"

namespace {
// One read takes what the driver holds, up to its usual buffer size; the
// chunk queued is sized to the bytes read.
constexpr size_t kReadSize = 4096;
// Stops, flushes and new output wake the threads at once; their slices only
// bound how long one could go unseen, except the status thread's, which is
// how often modem lines and error counters are compared.
constexpr int kReadWaitMs = 1000;
// At 115200 baud the driver gathers about nine 64-byte chunks meanwhile.
constexpr int kReadRestMs = 50;
constexpr int32_t kRestAfterBytes = 32;
constexpr int kWriteWaitMs = 1000;
constexpr int kLinesSliceMs = 100;
constexpr int kHangUpWaitMs = 1000;
constexpr int kSliceMs = 100;
constexpr int kEmptyWakesForHangUp = 8;
// A device that went away is one failure, whichever thread sees it first.
constexpr int32_t kDeviceGone = ecDeviceRead;
}  // namespace

TRivuPosixThread::TRivuPosixThread(TRivuPosixDispatcher& D) : TRivuDispatcherThread(D), Port(D) {}

TReadThread::TReadThread(TRivuPosixDispatcher& D) : TRivuPosixThread(D), Scratch(kReadSize) {}

bool TRivuPosixThread::Stopping() const {
  return StopRequested() || Port.GetKillThreads();
}

void TReadThread::Execute() {
  Port.ThreadStart();
  const int Fd = Port.ComHandleNow();
  while (!Stopping()) {
    if (Port.HoldOffInput()) {
      if (!WaitForRoom(Fd)) break;
      continue;
    }
    const std::optional<bool> Readable = WaitForBytes(Fd);
    if (!Readable) break;
    if (!*Readable) continue;  // nothing to read: no read
    const bool MoveHere = Port.ReaderMayMoveBytes();
    const TDrained D = DrainDriver(Fd, MoveHere);
    if (MoveHere) DeliverHere(D);
    CheckReads(D);
  }
  SetReturnValue(Result_);
}

void TReadThread::Fail(int32_t Code) {
  Result_ = Code;
  Port.SetKillThreads();
}

bool TReadThread::WaitForRoom(int Fd) {
  // Over the input limit: what arrives stays with the driver, whose throttle
  // holds the far end, until the task has read enough.
  const posixdev::TPoll P = Port.WaitForInputRoom(Fd, kReadWaitMs);
  if (Stopping()) return false;
  if (P == posixdev::TPoll::HungUp || P == posixdev::TPoll::Failed) {
    Fail(ecDeviceRead);
    return false;
  }
  return true;
}

std::optional<bool> TReadThread::WaitForBytes(int Fd) {
  // Received bytes wake the thread at once; the slice only bounds how long a
  // stop could go unseen should the wake descriptor fail.
  const posixdev::TPoll P =
      posixdev::Wait(Fd, posixdev::TWaitFor::Input, Port.KillFd(), kReadWaitMs);
  if (Stopping()) return std::nullopt;
  if (P == posixdev::TPoll::HungUp || P == posixdev::TPoll::Failed) {
    Fail(ecDeviceRead);
    return std::nullopt;
  }
  return P == posixdev::TPoll::Ready;
}

TReadThread::TDrained TReadThread::DrainDriver(int Fd, bool MoveHere) {
  TDrained D;
  // One read takes what the driver holds; only a full one can have left more
  // behind. Each read becomes one chunk of its size.
  do {
    const auto Lock = Port.LockRead();
    D.Last = posixdev::Read(Fd, Scratch.data(), Scratch.size());
    if (D.Last <= 0) break;
    D.Total += D.Last;
    try {
      auto Chunk = std::make_unique<TDataBuffer>(D.Last);
      std::memcpy(Chunk->Data.get(), Scratch.data(), size_t(D.Last));
      Chunk->Used = D.Last;
      Port.GetQueue().Push(std::move(Chunk), !MoveHere);
    } catch (const std::bad_alloc&) {
      Fail(ecNoMem);
      break;
    }
  } while (size_t(D.Last) == Scratch.size() && !Stopping() && !Port.HoldOffInput());
  return D;
}

void TReadThread::DeliverHere(const TDrained& D) {
  // Outside the read lock: a flush takes the input lock before it.
  if (D.Total > 0) Port.MoveReceivedBytes();
  // A stream in progress (a read of a USB adapter's packet or more, short of
  // full, so the driver is empty now): with nobody waiting or listening, what
  // comes next may gather in the driver for a moment. Single bytes and short
  // words still go through at once.
  if (D.Total >= kRestAfterBytes && size_t(D.Last) < Scratch.size() && !Stopping()) {
    Port.RestBetweenReads(kReadRestMs);
  }
}

void TReadThread::CheckReads(const TDrained& D) {
  if (D.Last < 0) {
    if (D.Last != posixdev::ioInvalidHandle) Result_ = ecDeviceRead;
    Port.SetKillThreads();
  }
  // A driver that keeps saying "readable" but gives no bytes has gone away.
  EmptyWakes_ = D.Total == 0 ? EmptyWakes_ + 1 : 0;
  if (EmptyWakes_ >= kEmptyWakesForHangUp) Fail(ecDeviceRead);
}

void TWriteThread::Execute() {
  Port.ThreadStart();
  int32_t Result = 0;
  const int Fd = Port.ComHandleNow();
  while (!Stopping()) {
    if (Port.FlushPending()) {
      Port.CompleteFlush();  // no block in hand: nothing more to drop
    } else if (const auto Ticket = Port.TakeOutput(Block)) {
      const int32_t R = WriteBlock(Fd, *Ticket);
      Port.BlockDone();
      if (R != 0) {
        if (R != posixdev::ioInvalidHandle) Result = R;
        Port.SetKillThreads();
      }
    } else {
      Port.WaitWriteWork(-1, kWriteWaitMs);
    }
  }
  SetReturnValue(Result);
}

int32_t TWriteThread::WriteBlock(int Fd, uint64_t Ticket) {
  size_t Sent = 0;
  while (Sent < Block.size()) {
    if (Stopping()) return 0;
    // A flush asked for after this block was taken drops the rest of it, and
    // only then purges the driver: no byte of a flushed block goes out later.
    if (Port.FlushedSince(Ticket)) {
      Port.CompleteFlush();
      return 0;
    }
    const int32_t N = posixdev::Write(Fd, Block.data() + Sent, Block.size() - Sent);
    if (N == posixdev::ioInvalidHandle) return N;
    if (N == posixdev::ioDeviceGone) return kDeviceGone;
    if (N < 0) return ecDeviceWrite;
    if (N > 0) {
      Sent += size_t(N);
      Port.BlockWritten(uint32_t(N));
      continue;
    }
    // The driver is full: wait for room, a flush or the end.
    const posixdev::TPoll P = Port.WaitWriteWork(Fd, kSliceMs);
    if (P == posixdev::TPoll::HungUp) return kDeviceGone;
    if (P == posixdev::TPoll::Failed) return ecDeviceWrite;
  }
  return 0;
}

void TStatusThread::Execute() {
  Port.ThreadStart();
  int32_t Result = 0;
  const bool Lines = Port.ModemLinesSupported();
  const int Fd = Port.ComHandleNow();
  uint8_t OldLines = Lines ? posixdev::ModemLines(Fd) : 0;
  posixdev::TCounters OldCounts;
  const bool Counts = Lines && posixdev::GetCounters(Fd, OldCounts);
  // Without modem lines (a pseudo-terminal) only a hang-up is watched, and
  // poll reports that at once.
  const int Slice = Lines ? kLinesSliceMs : kHangUpWaitMs;
  while (!Stopping()) {
    const posixdev::TPoll P = posixdev::Wait(Fd, posixdev::TWaitFor::HangUp, Port.KillFd(), Slice);
    if (Stopping()) break;
    if (P == posixdev::TPoll::HungUp || P == posixdev::TPoll::Failed) {
      Result = kDeviceGone;
      Port.SetKillThreads();
      break;
    }
    const uint8_t NewLines = Lines ? posixdev::ModemLines(Fd) : OldLines;
    posixdev::TCounters NewCounts = OldCounts;
    if (Counts) posixdev::GetCounters(Fd, NewCounts);  // unchanged when it fails
    const TStatusChange Change = StatusChange(OldLines, NewLines, OldCounts, NewCounts);
    OldLines = NewLines;
    OldCounts = NewCounts;
    if (!Port.ReportStatusChange(Change)) {
      Result = ecNoMem;
      Port.SetKillThreads();
    }
  }
  SetReturnValue(Result);
}
