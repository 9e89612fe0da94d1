// The language the programs speak, chosen as gettext and Qt choose, and the catalogues that
// word the texts in it. Russian is the programs' own language; English is the other one.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace orvix {

enum class TLanguage { lgRussian, lgEnglish };

// Reads a variable of the environment; nullopt when it is not set.
using TEnvironment = std::function<std::optional<std::string>(const char* name)>;
TEnvironment ProcessEnvironment();

// ORVIX_LANG ("ru" or "en") first. Then, as gettext does: the locale is the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty; "C", "POSIX" (with any suffix, C.UTF-8) or none
// gives Russian, and LANGUAGE is then ignored; otherwise LANGUAGE's list, then the locale,
// decides: Russian when it names Russian, English for any other language. Only the values
// count, installed locales or not. On Windows the user's UI language stands in for the
// variables (Wine derives it from LANG).
TLanguage ChooseLanguage(const TEnvironment& environment);
// The user's UI language as a code ("ru", "en", "de", ...) where the system has one (Windows);
// nullopt where the environment's variables say it (Linux).
std::optional<std::string> SystemUiLanguage();
// The language chosen for this process, once, at its first use.
TLanguage ProcessLanguage();
// "ru" or "en".
const char* LanguageCode(TLanguage language);

// One translated text of a program's catalogue. Forms: one text, or the numerus forms of the
// language in its order (Russian: one, few, many).
struct TCatalogueEntry {
  const char* Context;
  const char* Source;
  std::vector<const char*> Forms;
};

struct TCatalogue {
  const char* Language;  // "ru", ...
  const std::vector<TCatalogueEntry>* Entries;
};

// A program's catalogues, made at build time from its .ts files (one a language; the English
// source needs none): the program installs them first thing in main().
void InstallCatalogues(const std::vector<TCatalogue>& catalogues);

// The source text in the process's language: the catalogue's, or the source itself where the
// catalogue has none. Arguments go in with FormatText(Tr(...), {...}): the catalogues' extraction
// (lupdate, with Tr taken for translate) sees a call with two literal strings only.
std::string Tr(const char* context, const char* source);
// A text whose form follows a count (%n in it is the count); comment is for the translator (or
// null), as in Qt's translate(). Where no catalogue has it, the English source's "(s)" becomes
// the plural's "s" ("%n port(s)": "1 port", "2 ports").
std::string TrN(const char* context, const char* source, const char* comment, long long count);
// A text raised by the core, in the process's language.
std::string Tr(const TText& text);
// What an exception says, in the process's language where it carries its text.
std::string ErrorText(const std::exception& error);

// A number for human text in the process's language: "3,9" in Russian, "3.9" in English, with
// that many digits after the point; never the C locale's, so the same on every machine.
std::string DecimalText(double value, int digits = 1);

// For tests: the lookups above in this language from now on.
void SetProcessLanguage(TLanguage language);

}  // namespace orvix
