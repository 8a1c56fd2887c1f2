// Data triggers: where in the received bytes a string is found, and what the
// handlers hear when it is.
#include <algorithm>
#include <iterator>
#include <mutex>
#include <string_view>
#include <vector>

#include "tests/serial/port_fixture.h"

namespace {

// The positions (1-based, of the last byte) at which Trigger completes.
std::vector<size_t> Matches(std::string_view Trigger, std::string_view Text, bool IgnoreCase) {
  TDataTrigger T(8, std::string(Trigger), IgnoreCase);
  std::vector<size_t> At;
  for (size_t I = 0; I < Text.size(); ++I) {
    if (T.Take(uint8_t(Text[I]))) At.push_back(I + 1);
  }
  return At;
}

}  // namespace

TEST(DataTrigger, EveryStringThatIsPresentIsFound) {
  struct TCase {
    std::string_view Trigger, Text;
    bool IgnoreCase;
    std::vector<size_t> At;
  } const Cases[] = {
      {"aab", "aaab", false, {4}},              // a restart must keep the "aa" it has
      {"abab", "abaabab", false, {7}},          // falls back twice
      {"abcabd", "abcabcabd", false, {9}},      // falls back into the middle
      {"aa", "aaaa", false, {2, 4}},            // a match starts afresh after it
      {"OK", "xxOKxOK", false, {4, 7}},         // two apart
      {"ok", "oOK", true, {3}},                 // without case, after a false start
      {"ok", "oOK", false, {}},                 // with case: no match
      {"\x01\x02", "\x01\x01\x02", false, {3}}  // bytes, not text
  };
  for (const TCase& C : Cases) {
    EXPECT_EQ(Matches(C.Trigger, C.Text, C.IgnoreCase), C.At) << C.Trigger << " in " << C.Text;
  }
}

// Enough bytes ahead of a match for the avail threshold: handlers hear of
// those first, then of the match.
TEST(DataTrigger, BytesBeforeTheMatchAreToldFirst) {
  struct TCall {
    uint32_t Msg, Param;
  };
  // What the handler fills outlives the port, whose thread may still deliver
  // while it closes.
  std::mutex M;
  std::vector<TCall> Calls;
  TOpenPort P;
  int Key;
  P.D->RegisterEventTriggerHandler(&Key, [&](uint32_t Msg, uint32_t Trigger, uint32_t) {
    std::lock_guard Lock(M);
    Calls.push_back({Msg, Trigger});
  });
  P.D->ChangeLengthTrigger(3);
  const int32_t Handle = P.D->AddDataTrigger("XY", false);
  P.Pty.Write(Bytes("abcdeXY"));
  auto DataCall = [&] {
    return std::find_if(Calls.begin(), Calls.end(),
                        [](const TCall& C) { return C.Msg == nmTriggerData; });
  };
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard Lock(M);
    return DataCall() != Calls.end();
  }));
  std::lock_guard Lock(M);
  const auto Data = DataCall();
  EXPECT_EQ(Data->Param, uint32_t(Handle));
  // However the bytes arrived, the call just before tells the five ahead.
  ASSERT_NE(Data, Calls.begin());
  EXPECT_EQ(std::prev(Data)->Msg, nmTriggerAvail);
  EXPECT_EQ(std::prev(Data)->Param, 5u);
}

// Triggers that complete on the same byte are each told, in the order they
// were added; the scan then goes on past the byte.
TEST(DataTrigger, TriggersCompletingOnTheSameByteAreEachTold) {
  std::mutex M;
  std::vector<uint32_t> Told;
  TOpenPort P;
  int Key;
  P.D->RegisterEventTriggerHandler(&Key, [&](uint32_t Msg, uint32_t Trigger, uint32_t) {
    std::lock_guard Lock(M);
    if (Msg == nmTriggerData) Told.push_back(Trigger);
  });
  const int32_t Long = P.D->AddDataTrigger("XY", false);
  const int32_t Short = P.D->AddDataTrigger("y", true);
  const int32_t Last = P.D->AddDataTrigger("Z", false);
  P.Pty.Write(Bytes("aXYbZ"));
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard Lock(M);
    return std::find(Told.begin(), Told.end(), uint32_t(Last)) != Told.end();
  }));
  std::lock_guard Lock(M);
  EXPECT_EQ(Told, (std::vector<uint32_t>{uint32_t(Long), uint32_t(Short), uint32_t(Last)}));
}
