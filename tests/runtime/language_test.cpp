// Which language the programs speak for a given environment, and how a catalogue words a text.
#include "runtime/language.h"

#include <gtest/gtest.h>

#include <map>

namespace orvix {
namespace {

TEnvironment Env(std::map<std::string, std::string> values) {
  return [values](const char* name) -> std::optional<std::string> {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
}

TEST(Language, ChosenFromTheVariablesAsGettextChooses) {
  if (SystemUiLanguage()) GTEST_SKIP() << "Windows chooses by the user's UI language";
  struct Case {
    std::map<std::string, std::string> env;
    TLanguage expected;
  };
  const auto ru = TLanguage::lgRussian, en = TLanguage::lgEnglish;
  const Case cases[] = {
      {{}, ru},                                        // nothing said: the programs' own
      {{{"LANG", "C"}}, ru},
      {{{"LANG", "C.UTF-8"}}, ru},
      {{{"LANG", "POSIX"}}, ru},
      {{{"LANG", "ru_RU.UTF-8"}}, ru},                 // installed or not
      {{{"LANG", "en_US.UTF-8"}}, en},
      {{{"LANG", "de_DE.UTF-8"}}, en},                 // a language there is no catalogue for
      {{{"LANG", "ru_RU.UTF-8"}, {"LC_ALL", "en_GB.UTF-8"}}, en},
      {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ru_RU.UTF-8"}}, ru},
      {{{"LANG", "en_US.UTF-8"}, {"LC_ALL", ""}}, en},  // set but empty counts as not set
      {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "de:ru"}}, ru},
      {{{"LANG", "ru_RU.UTF-8"}, {"LANGUAGE", "fr"}}, en},
      {{{"LANG", "C.UTF-8"}, {"LANGUAGE", "en"}}, ru},  // gettext ignores LANGUAGE under C
      {{{"LANG", "en_US.UTF-8"}, {"ORVIX_LANG", "ru"}}, ru},
      {{{"LANG", "ru_RU.UTF-8"}, {"ORVIX_LANG", "en"}}, en},
      {{{"LANG", "ru_RU.UTF-8"}, {"ORVIX_LANG", "xx"}}, ru},  // not a choice: ignored
  };
  for (const Case& c : cases) {
    std::string described;
    for (const auto& [name, value] : c.env) described += name + "=" + value + " ";
    EXPECT_EQ(ChooseLanguage(Env(c.env)), c.expected) << described;
  }
}

const std::vector<TCatalogueEntry> kRussian = {
    {"run", "Programming finished", {"Программирование завершено"}},
    {"run", "Port %1: %2", {"Порт %1: %2"}},
    {"gang", "%n devices", {"%n устройство", "%n устройства", "%n устройств"}},
};
const std::vector<TCatalogue> kCatalogues = {{"ru", &kRussian}};

TEST(Language, TextsAreWordedFromTheCatalogueOrLeftInEnglish) {
  InstallCatalogues(kCatalogues);
  SetProcessLanguage(TLanguage::lgRussian);
  EXPECT_EQ(Tr("run", "Programming finished"), "Программирование завершено");
  EXPECT_EQ(Tr("run", "Not in the catalogue"), "Not in the catalogue");
  EXPECT_EQ(Tr("other", "Programming finished"), "Programming finished");  // context counts
  EXPECT_EQ(Tr(TText{"run", "Port %1: %2", {"COM3", "x"}, " (Input/output error)"}),
            "Порт COM3: x (Input/output error)");
  for (const auto& [n, text] : std::vector<std::pair<int, std::string>>{
           {1, "1 устройство"}, {3, "3 устройства"}, {5, "5 устройств"}, {11, "11 устройств"},
           {21, "21 устройство"}, {112, "112 устройств"}})
    EXPECT_EQ(TrN("gang", "%n devices", nullptr, n), text);
  SetProcessLanguage(TLanguage::lgEnglish);
  EXPECT_EQ(Tr("run", "Programming finished"), "Programming finished");
  // English words its plurals from the source itself, and numbers with a point.
  for (const auto& [n, text] : std::vector<std::pair<int, std::string>>{
           {1, "1 port(1) checked"}, {0, "0 ports(0) checked"}, {2, "2 ports(2) checked"}})
    EXPECT_EQ(TrN("check", "%n port(s)(%n) checked", nullptr, n), text);
  EXPECT_EQ(DecimalText(3.94), "3.9");
  SetProcessLanguage(TLanguage::lgRussian);
  EXPECT_EQ(DecimalText(3.94), "3,9");
  SetProcessLanguage(TLanguage::lgEnglish);
  EXPECT_EQ(ErrorText(ETextError({"run", "Port %1: %2", {"COM3", "x"}, ""})), "Port COM3: x");
}

TEST(Language, FormatTextFillsNumberedPlaceholdersOnly) {
  EXPECT_EQ(FormatText("%1 of %2, 100%", {"3", "4"}), "3 of 4, 100%");
  EXPECT_EQ(FormatText("%2-%1 %3", {"a", "b"}), "b-a %3");
}

}  // namespace
}  // namespace orvix
