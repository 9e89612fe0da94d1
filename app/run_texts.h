// What the exchange window and the main window's status bar say about a run. The sources are
// English; translations/orvix_ru.ts gives the program's own Russian texts letter for letter, the
// misspelt stop text included, since users and their notes know them that way.
#pragma once

#include <QCoreApplication>
#include <QString>

#include "exchange/run_events.h"

namespace orvix {

struct TRunText {
  const char* Context;
  const char* Source;
};

// The exchange window words them all, wherever they show: its class is their context.
inline constexpr TRunText kTextNegotiation{
    "TfrmTrans", QT_TRANSLATE_NOOP("TfrmTrans", "Sending handshake packets")};
inline constexpr TRunText kTextProgramming{"TfrmTrans",
                                           QT_TRANSLATE_NOOP("TfrmTrans", "Programming")};
inline constexpr TRunText kTextNoAnswer{
    "TfrmTrans", QT_TRANSLATE_NOOP("TfrmTrans", "No answer from the device")};
inline constexpr TRunText kTextNoChecksumConfirmation{
    "TfrmTrans", QT_TRANSLATE_NOOP("TfrmTrans", "Checksum not confirmed")};
inline constexpr TRunText kTextFinished{"TfrmTrans",
                                        QT_TRANSLATE_NOOP("TfrmTrans", "Programming finished")};
inline constexpr TRunText kTextAborted{"TfrmTrans",
                                       QT_TRANSLATE_NOOP("TfrmTrans", "Programming stopped")};

// The same in every language, as the frame log writes it: users search their notes for it.
inline constexpr char kTextChecksumError[] = "Error CS!";

// What a give-up says: the checksum's text once the blocks are all written.
inline TRunText NoAnswerText(TExchangePhase phase) {
  return phase == TExchangePhase::epChecksumSent ? kTextNoChecksumConfirmation : kTextNoAnswer;
}

// The text in the window's language.
inline QString Worded(TRunText text) {
  return QCoreApplication::translate(text.Context, text.Source);
}

}  // namespace orvix
