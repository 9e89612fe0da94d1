// Every text the flasher shows of a run, in one place: the window's words for the run's states
// and outcomes, and the flasher's lines around them. The sources are English;
// translations/orvix-flash_ru.ts gives the program's own Russian texts letter for letter, the
// misspelt stop text included.
#pragma once

#include <string>

#include "runtime/language.h"

namespace orvix {

struct TRunText {
  const char* Context;
  const char* Source;
};

// The text in the process's language.
inline std::string Worded(TRunText text) {
  return Tr(text.Context, text.Source);
}

inline constexpr TRunText kTextNegotiation{"run", ORVIX_TEXT("run", "Sending handshake packets")};
inline constexpr TRunText kTextProgramming{"run", ORVIX_TEXT("run", "Programming")};
inline constexpr TRunText kTextNoAnswer{"run", ORVIX_TEXT("run", "No answer from the device")};
inline constexpr TRunText kTextNoChecksumConfirmation{"run",
                                                      ORVIX_TEXT("run", "Checksum not confirmed")};
inline constexpr TRunText kTextFinished{"run", ORVIX_TEXT("run", "Programming finished")};
inline constexpr TRunText kTextAborted{"run", ORVIX_TEXT("run", "Programming stopped")};

// The same in every language, as the frame log writes it: users search their notes for it.
inline constexpr char kTextChecksumError[] = "Error CS!";

// The lines around them, %1 .. %9 taking the values. The figures of a run, after its result
// text; seconds and rates in the language's decimals, addresses and the checksum hexadecimal as
// the window's: "0000-4E1F, 20000 bytes in 3.9 s (5.1 KB/s), checksum 1495 confirmed".
inline constexpr TRunText kTextFiguresFinished{
    "run", ORVIX_TEXT("run", "%1-%2, %3 bytes in %4 s (%5 KB/s), checksum %6 confirmed")};
// A run that did not finish: what went out, and for how long.
inline constexpr TRunText kTextFiguresUnfinished{
    "run", ORVIX_TEXT("run", "%1-%2, %3 bytes: %4 blocks sent in %5 s, checksum %6")};
inline constexpr TRunText kTextFiguresUnconfirmed{
    "run", ORVIX_TEXT("run", "%1-%2, %3 bytes: %4 blocks sent in %5 s, checksum %6 not confirmed")};
inline constexpr TRunText kTextUnansweredBlock{"run",
                                               ORVIX_TEXT("run", "%1: no answer to block %2")};
inline constexpr TRunText kTextUnansweredChecksum{
    "run", ORVIX_TEXT("run", "%1: no answer to the checksum")};
inline constexpr TRunText kTextPortsPinged{"run", ORVIX_TEXT("run", "Ports pinged: %1, %2 s")};
// A gang port's result line: "COM3: Programming finished (3.9 s, 1495)".
inline constexpr TRunText kTextGangResult{"run", ORVIX_TEXT("run", "%1: %2 (%3 s, %4)")};
inline constexpr TRunText kTextLineLost{"run", ORVIX_TEXT("run", "%1: connection lost: %2")};

}  // namespace orvix
