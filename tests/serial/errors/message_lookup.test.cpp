#include "serial/errors/message_lookup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "serial/errors/error_codes.h"
#include "serial/errors/message_table.h"
#include "serial/errors/platform_error_text.h"

namespace {

int32_t Magnitude(int32_t n) {
  return n < 0 ? -n : n;
}

TEST(MessageTable, SortedByUniqueMagnitudeAndStartsWithOk) {
  const auto table = RivuMessageNumberLookup;
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(table[0].number, ecOK);
  EXPECT_EQ(table[0].text, "OK");
  for (std::size_t i = 1; i < table.size(); ++i)
    EXPECT_LT(Magnitude(table[i - 1].number), Magnitude(table[i].number)) << "index " << i;
}

TEST(MessageTable, EveryEntryIsFoundByEitherSign) {
  for (const auto& record : RivuMessageNumberLookup) {
    const auto n = static_cast<int16_t>(record.number);
    EXPECT_EQ(MessageNumberToString(n), record.text) << record.number;
    EXPECT_EQ(MessageNumberToString(static_cast<int16_t>(-n)), record.text) << record.number;
  }
}

TEST(MessageLookup, ByMagnitude) {
  EXPECT_EQ(ErrorMsg(2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(ErrorMsg(-2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(ErrorMsg(-4201), "Ready");
  EXPECT_EQ(ErrorMsg(0), "OK");
  EXPECT_EQ(RivuLoadStr(-3007), "Buffer is empty");
}

TEST(MessageLookup, DispatchLogVocabulary) {
  EXPECT_EQ(RivuLoadStr(RivuDispatchTypeMessageBase + 1), "Dispatch");
  EXPECT_EQ(RivuLoadStr(RivuDispatchTypeMessageBase + 20), "Script");
  EXPECT_EQ(RivuLoadStr(RivuDispatchSubTypeMessageBase + 1), "ReadCom");
  EXPECT_EQ(RivuLoadStr(RivuDispatchSubTypeMessageBase + 254), "Data Written");
  EXPECT_EQ(RivuLoadStr(RivuDispatchSubTypeMessageBase), "");
  EXPECT_EQ(RivuLoadStr(RivuModemStatusTagMessageBase), "DCTS ");
  EXPECT_EQ(RivuLoadStr(RivuModemStatusTagMessageBase + 7), "DCD ");
  EXPECT_EQ(RivuLoadStr(RivuLogRuleMessage),
            "--------  --------  ------------  --------  ---------");
}

TEST(MessageLookup, PlatformTextOnlyWhereTheTableHasNone) {
  EXPECT_EQ(MessageNumberToString(7), "");
  EXPECT_FALSE(ErrorMsg(7).empty());
  EXPECT_EQ(ErrorMsg(7), PlatformErrorText(7));
  // A table entry wins over the platform text for the same number.
  EXPECT_EQ(ErrorMsg(-2), "File not found");
  EXPECT_EQ(ErrorMsg(87), "Invalid parameter");
  // Neither table nor platform: empty.
  EXPECT_EQ(ErrorMsg(30000), "");
}

TEST(MessageLookup, LoadZCopiesWithinTheBufferForEveryCode) {
  char buffer[300];
  for (int32_t code = -32768; code <= 32767; ++code) {
    std::memset(buffer, 0x7F, sizeof buffer);
    ASSERT_EQ(RivuLoadZ(buffer, code), buffer);
    const std::size_t len = std::strlen(buffer);
    ASSERT_LE(len, 255u) << code;
    for (std::size_t i = 256; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x7F) << code;
    if (code % 97 == 0) {
      ASSERT_EQ(std::string(buffer), RivuLoadStr(static_cast<int16_t>(code)));
    }
  }
}

TEST(MessageLookup, LoadZTakesTheLowSixteenBits) {
  char buffer[256];
  EXPECT_STREQ(RivuLoadZ(buffer, 0x10000 - 2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_STREQ(RivuLoadZ(buffer, -0x20000 + 4201), "Ready");
  EXPECT_EQ(RivuLoadZ(nullptr, 1), nullptr);
}

TEST(MessageLookup, SearchCutsLongTextsAndFindsBothSigns) {
  const std::string longText(300, 'x');
  const RivuMessageNumberLookupRecord table[] = {
      {0, "zero"}, {-5, "five"}, {17, longText}, {-40, "forty"}, {41, "forty-one"}};
  EXPECT_EQ(FindMessageText(table, 0), "zero");
  EXPECT_EQ(FindMessageText(table, 5), "five");
  EXPECT_EQ(FindMessageText(table, 17).size(), 255u);
  EXPECT_EQ(FindMessageText(table, 40), "forty");
  EXPECT_EQ(FindMessageText(table, 41), "forty-one");
  for (int32_t missing : {1, 6, 18, 39, 42, 100000}) EXPECT_EQ(FindMessageText(table, missing), "");
  EXPECT_EQ(FindMessageText({}, 0), "");
}

TEST(PlatformErrorText, CleansControlCharactersAndDoubleBlanks) {
  EXPECT_EQ(CleanPlatformText("Line one.\r\nLine two.\r\n"), "Line one. Line two. ");
  EXPECT_EQ(CleanPlatformText("a  \t  b"), "a b");
  EXPECT_EQ(CleanPlatformText("\x01\x02x"), " x");
  EXPECT_EQ(CleanPlatformText(""), "");
}

TEST(PlatformErrorText, PortNumbersHaveTheirOwnTexts) {
  EXPECT_EQ(PlatformErrorText(2), "No such device");
  EXPECT_EQ(PlatformErrorText(3), "No such device");
  EXPECT_NE(PlatformErrorText(5).find("another program"), std::string::npos);
  EXPECT_EQ(PlatformErrorText(87), "Invalid parameter");
  EXPECT_FALSE(PlatformErrorText(6).empty());
  EXPECT_FALSE(PlatformErrorText(995).empty());
  // Anything else is an errno value.
  EXPECT_EQ(PlatformErrorText(13), "Permission denied");
  EXPECT_EQ(PlatformErrorText(15100), "");
  EXPECT_EQ(PlatformErrorText(-1), "");
}

}  // namespace
