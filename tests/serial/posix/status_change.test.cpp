// The status thread's reading of modem-line and error-counter changes.
#include "serial/posix/status_change.h"

#include <gtest/gtest.h>

#include "serial/dispatcher/dcb.h"

namespace {

constexpr uint8_t kCts = 0x10, kDsr = 0x20, kRing = 0x40, kDcd = 0x80;

posixdev::TCounters Counts(uint32_t Frame, uint32_t Overrun, uint32_t Parity, uint32_t Brk,
                           uint32_t BufOverrun) {
  posixdev::TCounters C;
  C.Frame = Frame;
  C.Overrun = Overrun;
  C.Parity = Parity;
  C.Brk = Brk;
  C.BufOverrun = BufOverrun;
  return C;
}

TEST(StatusChange, EachLineAndCounterBecomesItsEventOrError) {
  const posixdev::TCounters Zero = Counts(0, 0, 0, 0, 0);
  const posixdev::TCounters Some = Counts(3, 1, 7, 2, 5);
  const struct {
    const char* What;
    uint8_t OldLines, NewLines;
    posixdev::TCounters Old, New;
    TStatusChange Want;
  } Cases[] = {
      {"no change", kCts | kDcd, kCts | kDcd, Some, Some, {0, 0}},
      {"CTS up", 0, kCts, Zero, Zero, {evCts, 0}},
      {"CTS down", kCts, 0, Zero, Zero, {evCts, 0}},
      {"DSR up", 0, kDsr, Zero, Zero, {evDsr, 0}},
      {"DSR down", kDsr | kCts, kCts, Zero, Zero, {evDsr, 0}},
      {"DCD up", 0, kDcd, Zero, Zero, {evRlsd, 0}},
      {"DCD down", kDcd, 0, Zero, Zero, {evRlsd, 0}},
      {"ring rises", 0, kRing, Zero, Zero, {evRing, 0}},
      {"ring falls", kRing, 0, Zero, Zero, {evRing2, 0}},
      {"lines together",
       kCts | kRing,
       kDsr | kDcd,
       Zero,
       Zero,
       {evCts | evDsr | evRlsd | evRing2, 0}},
      {"framing", 0, 0, Zero, Counts(1, 0, 0, 0, 0), {evErr, leFraming}},
      {"overrun", 0, 0, Zero, Counts(0, 1, 0, 0, 0), {evErr, leOverrun}},
      {"parity", 0, 0, Zero, Counts(0, 0, 1, 0, 0), {evErr, leParity}},
      {"buffer overrun", 0, 0, Zero, Counts(0, 0, 0, 0, 1), {evErr, leOverflow}},
      {"break", 0, 0, Zero, Counts(0, 0, 0, 1, 0), {evBreak, leBreak}},
      {"break with framing",
       0,
       0,
       Zero,
       Counts(1, 0, 0, 1, 0),
       {evBreak | evErr, leBreak | leFraming}},
      {"every counter",
       0,
       0,
       Zero,
       Some,
       {evBreak | evErr, leFraming | leOverrun | leParity | leBreak | leOverflow}},
      {"a counter wraps",
       0,
       0,
       Counts(0, 0, 0xFFFFFFFF, 0, 0),
       Counts(0, 0, 0, 0, 0),
       {evErr, leParity}},
      {"lines and counters",
       0,
       kRing | kCts,
       Zero,
       Counts(0, 2, 0, 0, 0),
       {evRing | evCts | evErr, leOverrun}},
  };
  for (const auto& C : Cases) {
    const TStatusChange Got = StatusChange(C.OldLines, C.NewLines, C.Old, C.New);
    EXPECT_EQ(Got.Events, C.Want.Events) << C.What;
    EXPECT_EQ(Got.Errors, C.Want.Errors) << C.What;
  }
}

// A pulse shorter than the status thread's slice leaves the lines as they
// were; only the driver's line counters tell that it came.
TEST(StatusChange, APulseBetweenTwoLooksCountsByTheLineCounters) {
  const auto Lines = [](uint32_t Cts, uint32_t Dsr, uint32_t Rng, uint32_t Dcd) {
    posixdev::TCounters C;
    C.Cts = Cts;
    C.Dsr = Dsr;
    C.Rng = Rng;
    C.Dcd = Dcd;
    return C;
  };
  const posixdev::TCounters Zero;
  const struct {
    const char* What;
    uint8_t OldLines, NewLines;
    posixdev::TCounters New;
    uint32_t Events;
    uint8_t Pulses;  // delta bits the lines themselves no longer show
  } Cases[] = {
      {"CTS pulse", 0, 0, Lines(2, 0, 0, 0), evCts, 0x01},
      {"DSR dip", kDsr, kDsr, Lines(0, 2, 0, 0), evDsr, 0x02},
      {"DCD pulse", 0, 0, Lines(0, 0, 0, 2), evRlsd, 0x08},
      {"ring pulse: both edges", 0, 0, Lines(0, 0, 1, 0), evRing | evRing2, 0},
      {"all four", kCts, kCts, Lines(2, 2, 1, 2), evCts | evDsr | evRlsd | evRing | evRing2,
       0x01 | 0x02 | 0x08},
      {"a change the lines show is no pulse", 0, kCts, Lines(1, 0, 0, 0), evCts, 0},
      {"up, down and up again", 0, kCts, Lines(3, 0, 0, 0), evCts, 0},
      {"ring rise the lines show", 0, kRing, Lines(0, 0, 0, 0), evRing, 0},
  };
  for (const auto& C : Cases) {
    const TStatusChange Got = StatusChange(C.OldLines, C.NewLines, Zero, C.New);
    EXPECT_EQ(Got.Events, C.Events) << C.What;
    EXPECT_EQ(Got.Pulses, C.Pulses) << C.What;
    EXPECT_EQ(Got.Errors, 0u) << C.What;
  }
}

}  // namespace
