#include "serial/port_list.h"

#include <gtest/gtest.h>

#include "serial/serial_error.h"

namespace orvix {
namespace {

using Names = std::vector<std::string>;

Names Listed(const Names& names, Names ports = {}) {
  AssignSerialPorts(names, ports);
  return ports;
}

TEST(PortList, NamesSortByTheirNumber) {
  EXPECT_EQ(Listed({"COM1", "COM10", "COM2"}), (Names{"COM1", "COM2", "COM10"}));
  EXPECT_EQ(Listed({"COM300", "COM100", "COM3", "COM101"}),
            (Names{"COM3", "COM100", "COM101", "COM300"}));
  EXPECT_EQ(Listed({"COM3", "COM1", "COM3"}), (Names{"COM1", "COM3", "COM3"}));
}

TEST(PortList, OnlyComNamesWithMoreThanComQualify) {
  EXPECT_EQ(Listed({"COM", "com3", "LPT1", "", "COM4", "XCOM1"}), (Names{"COM4"}));
}

TEST(PortList, NothingQualifyingLeavesThePortsAsTheyWere) {
  EXPECT_EQ(Listed({"LPT1", "COM"}, {"COM9", "COM2"}), (Names{"COM9", "COM2"}));
  EXPECT_EQ(Listed({}, {"COM9"}), (Names{"COM9"}));
  EXPECT_EQ(Listed({}), Names{});
  // Anything that qualifies replaces the old list whole.
  EXPECT_EQ(Listed({"COM5"}, {"COM9", "COM2"}), (Names{"COM5"}));
}

TEST(PortList, ANameWithoutANumberFailsOnlyWhenThereIsSomethingToSort) {
  EXPECT_EQ(Listed({"COMX"}), (Names{"COMX"}));
  Names ports{"COM9"};
  try {
    AssignSerialPorts({"COMX", "COM1"}, ports);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'X' is not a valid integer value");
  }
  EXPECT_EQ(ports, (Names{"COM9"}));
  // Wherever the bad one stands.
  EXPECT_THROW(AssignSerialPorts({"COM1", "COM2", "COM3", "COM1a"}, ports), EConvertError);
}

TEST(PortList, CompareGivesTheSignOfTheNumbers) {
  const Names list{"COM03", "COM3", "COM2147483647", "COM-2147483648", "COM10"};
  EXPECT_EQ(ComparePortNumbers(list, 0, 1), 0);
  EXPECT_LT(ComparePortNumbers(list, 1, 4), 0);
  EXPECT_GT(ComparePortNumbers(list, 4, 1), 0);
  // A plain difference would overflow here and order these two backwards.
  EXPECT_GT(ComparePortNumbers(list, 2, 3), 0);
  EXPECT_LT(ComparePortNumbers(list, 3, 2), 0);
}

TEST(PortList, TextToIntegerAcceptsOnlyWholeDecimalNumbers) {
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  for (const char* bad : {"", "-", " 1", "2147483648", "0x10"})
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
}

}  // namespace
}  // namespace orvix
