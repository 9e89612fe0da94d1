// The window's language: its own catalogue (translations/orvix_LANG.ts) and Qt's for the file
// dialog and the boxes' buttons (qtbase_LANG.qm), both compiled into the program, so that the
// static orvix.exe carries them and nothing is looked up beside it.
#pragma once

#include <QString>
#include <exception>

#include "runtime/language.h"
#include "runtime/text.h"

namespace orvix {

// Makes `language` the process's language and puts its catalogues in place of any installed
// before; English, the source language, needs none. Numbers that Qt's widgets show follow it too.
// Call it before the windows are built: they take their texts when they are made.
void InstallTranslators(TLanguage language);

// A text the core raised (an image file's error, a serial port's), in the window's language.
QString Worded(const TText& text);
// What an exception says, in the window's language where it carries its text.
QString WordedError(const std::exception& error);

}  // namespace orvix
