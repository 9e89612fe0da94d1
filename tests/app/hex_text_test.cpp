#include "app/hex_text.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

struct HexCase {
  const char* text;
  int32_t value;
};

TEST(HexTextToInt, ReadsAddressTexts) {
  const HexCase cases[] = {
      {"0000", 0},   {"FFFF", 65535},          {"ffff", 65535},  {"fFfF", 65535}, {"10000", 65536},
      {"00FF", 255}, {"7FFFFFFF", 2147483647}, {"000000001", 1},  // leading zeros are not
                                                                  // significant
  };
  for (const auto& c : cases) EXPECT_EQ(HexTextToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(HexTextToInt, TheTopHalfOf32BitsIsNegative) {
  EXPECT_EQ(HexTextToInt("FFFFFFFF"), -1);
  EXPECT_EQ(HexTextToInt("80000000"), INT32_MIN);
  EXPECT_EQ(HexTextToInt("FFFFFFFE"), -2);
}

TEST(HexTextToInt, ADollarInTheTextIsTakenAsItStands) {
  const HexCase cases[] = {
      {"$1F", 31}, {"   $1F", 31}, {"-$1F", -31},     {"+$1f", 31}, {"  -$10", -16},
      {"1$F", 0},  {"$", 0},       {"$1F ", 0},       {"$ 1F", 0},  {"$-1F", 0},
      {"$$1F", 0}, {"- $1F", 0},   {"-$FFFFFFFF", 1}, {"1F$", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(HexTextToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(HexTextToInt, UnreadableTextGivesZero) {
  const char* cases[] = {
      "",          " ", "G", "12G4", "-1", "+1", " 1F", "1F ", "1 F", "x1F", "0x1F", "1F\t", "\t1F",
      "100000000",  // nine significant digits do not fit in 32 bits
      "FFFFFFFFF",
  };
  for (const char* text : cases) EXPECT_EQ(HexTextToInt(text), 0) << '"' << text << '"';
}

TEST(AddressText, AtLeastFourUpperCaseDigits) {
  EXPECT_EQ(AddressText(0), "0000");
  EXPECT_EQ(AddressText(0xff), "00FF");
  EXPECT_EQ(AddressText(0xffff), "FFFF");
  EXPECT_EQ(AddressText(0x10000), "10000");
  EXPECT_EQ(AddressText(0xffffffffu), "FFFFFFFF");
}

}  // namespace
}  // namespace orvix
