// A cancelled call the driver has not ended keeps its record, event and
// buffer until it has. No driver here leaves a cancelled call pending, so the
// record is marked pending by hand, as the driver's status word would be.
#include "serial/win32/io_call.h"

#include <gtest/gtest.h>

TEST(IoCallKeeper, KeepsAPendingCallUntilItEndsAndFreesAnEndedOneAtOnce) {
  ASSERT_EQ(CallsKept(), 0u);
  auto Ended = std::make_unique<TIoCall>();
  Ended->Begin();  // a fresh record reads as ended: nothing under way
  KeepUntilEnded(std::move(Ended));
  EXPECT_EQ(CallsKept(), 0u);

  auto Pending = std::make_unique<TIoCall>();
  Pending->Buffer.resize(4096);
  OVERLAPPED& Ov = Pending->Begin();
  Ov.Internal = STATUS_PENDING;
  TIoCall* Kept = Pending.get();
  KeepUntilEnded(std::move(Pending));
  EXPECT_EQ(CallsKept(), 1u);
  // The driver may still write and signal: both stay valid.
  Kept->Buffer[4095] = 0x5A;
  EXPECT_TRUE(::SetEvent(Kept->Event.Get()));
  EXPECT_EQ(::WaitForSingleObject(Kept->Event.Get(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(CallsKept(), 1u);
  // The driver ends the call at last: the next look frees it.
  Ov.Internal = 0;
  EXPECT_EQ(CallsKept(), 0u);
}
