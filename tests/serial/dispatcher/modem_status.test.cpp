// The modem status as the user reads it while the status thread reports the
// same changes.
#include "tests/serial/port_fixture.h"

namespace {

class TLinesProbe : public TRivuPosixDispatcher {
 public:
  using TRivuPosixDispatcher::TRivuPosixDispatcher;
  ~TLinesProbe() override { Shutdown(); }
  std::atomic<uint8_t> Lines{0};
  uint8_t GetComModemLines() override { return Lines; }
  void InjectEvents(uint32_t Events) { GetQueue().Push(std::make_unique<TStatusBuffer>(Events)); }
  bool EventTaken() { return GetQueue().LeadingDataBytes() == 0 && InBuffUsed() == 0; }
};

}  // namespace

// A user polling the lines sees a change before the status thread's report
// of it is handled: the reading that shows the new line must carry its delta
// bit, and the report that follows must not bring it a second time.
TEST(ModemStatus, ChangeSeenFirstByTheUserKeepsItsDeltaBit) {
  TOpenPort<TLinesProbe> P;
  EXPECT_EQ(P.D->GetModemStatus(), 0);
  P.D->Lines = 0x20;  // DSR up
  EXPECT_EQ(P.D->GetModemStatus(), 0x20 | 0x02);
  P.D->InjectEvents(evDsr);
  ASSERT_TRUE(WaitUntil([&] { return P.D->EventTaken(); }));
  EXPECT_EQ(P.D->GetModemStatus(), 0x20);

  // Ring: the delta bit marks its trailing edge only.
  P.D->Lines = 0x20 | 0x40;
  EXPECT_EQ(P.D->GetModemStatus(), 0x20 | 0x40);
  P.D->Lines = 0x20;
  EXPECT_EQ(P.D->GetModemStatus(), 0x20 | 0x04);
  // CTS and DCD together, both edges.
  P.D->Lines = 0x20 | 0x10 | 0x80;
  EXPECT_EQ(P.D->GetModemStatus(), 0x20 | 0x10 | 0x80 | 0x01 | 0x08);
  P.D->Lines = 0x20;
  EXPECT_EQ(P.D->GetModemStatus(), 0x20 | 0x01 | 0x08);
}

// A pulse the lines no longer show when the status thread looks: its report
// brings the delta bit, once.
TEST(ModemStatus, PulseReportedByTheStatusThreadGivesItsDeltaBit) {
  TOpenPort<TLinesProbe> P;
  P.D->Lines = 0x10;
  EXPECT_EQ(P.D->GetModemStatus(), 0x10 | 0x01);
  P.D->AddLinePulses(0x02 | 0x08);  // DSR and DCD went up and down
  P.D->InjectEvents(evDsr | evRlsd);
  ASSERT_TRUE(WaitUntil([&] { return P.D->EventTaken(); }));
  EXPECT_EQ(P.D->GetModemStatus(), 0x10 | 0x02 | 0x08);
  EXPECT_EQ(P.D->GetModemStatus(), 0x10);
}
