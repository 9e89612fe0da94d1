#include "runtime/language.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

namespace orvix {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "ru_RU.UTF-8" names Russian, "en_GB" English, "de" another language; "C", "POSIX" and their
// variants name none.
enum class TNamed { nmNone, nmRussian, nmEnglish, nmOther };

TNamed NamedBy(const std::string& value) {
  const std::string v = Lower(value);
  if (v.empty() || v == "c" || v == "posix" || v.rfind("c.", 0) == 0 || v.rfind("posix.", 0) == 0)
    return TNamed::nmNone;
  const std::string code = v.substr(0, v.find_first_of("_.@-"));
  if (code == "ru") return TNamed::nmRussian;
  if (code == "en") return TNamed::nmEnglish;
  return TNamed::nmOther;
}

TLanguage Of(TNamed named) {
  return named == TNamed::nmRussian || named == TNamed::nmNone ? TLanguage::lgRussian
                                                               : TLanguage::lgEnglish;
}

std::atomic<int> chosen{-1};
std::mutex catalogues_mutex;
const std::vector<TCatalogue>* installed = nullptr;
// (context, source) of the chosen language's catalogue, made at the first lookup.
std::map<std::pair<std::string, std::string>, const TCatalogueEntry*> index_of;
int indexed_for = -1;

const TCatalogueEntry* Find(const char* context, const char* source) {
  const TLanguage language = ProcessLanguage();
  std::lock_guard lock(catalogues_mutex);
  if (indexed_for != static_cast<int>(language)) {
    index_of.clear();
    indexed_for = static_cast<int>(language);
    if (installed)
      for (const TCatalogue& catalogue : *installed)
        if (std::string(catalogue.Language) == LanguageCode(language))
          for (const TCatalogueEntry& entry : *catalogue.Entries)
            index_of[{entry.Context, entry.Source}] = &entry;
  }
  const auto found = index_of.find({context, source});
  return found == index_of.end() ? nullptr : found->second;
}

// Russian's three forms: 1, 21 ...; 2-4, 22-24 ...; the rest. English: 1; the rest.
size_t FormFor(TLanguage language, long long count) {
  const long long n = count < 0 ? -count : count;
  if (language == TLanguage::lgEnglish) return n == 1 ? 0 : 1;
  if (n % 10 == 1 && n % 100 != 11) return 0;
  if (n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14)) return 1;
  return 2;
}

}  // namespace

TEnvironment ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
  };
}

TLanguage ChooseLanguage(const TEnvironment& environment) {
  if (const auto forced = environment("ORVIX_LANG")) {
    const TNamed named = NamedBy(*forced);
    if (named == TNamed::nmRussian || named == TNamed::nmEnglish) return Of(named);
  }
  // Windows has no locale variables: its users choose the language of the whole system.
  if (const auto ui = SystemUiLanguage()) return Of(NamedBy(*ui));
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const auto value = environment(name); value && !value->empty()) {
      locale = *value;
      break;
    }
  }
  if (NamedBy(locale) == TNamed::nmNone) return TLanguage::lgRussian;
  if (const auto list = environment("LANGUAGE"); list && !list->empty()) {
    // The first entry there is a catalogue for decides; one naming only other languages asks
    // for a language this program does not have: English, the one most users read.
    bool other = false;
    size_t start = 0;
    while (start <= list->size()) {
      const size_t end = std::min(list->find(':', start), list->size());
      const TNamed named = NamedBy(list->substr(start, end - start));
      if (named == TNamed::nmRussian || named == TNamed::nmEnglish) return Of(named);
      other = other || named == TNamed::nmOther;
      start = end + 1;
    }
    if (other) return TLanguage::lgEnglish;
  }
  return Of(NamedBy(locale));
}

TLanguage ProcessLanguage() {
  int value = chosen.load();
  if (value < 0) {
    value = static_cast<int>(ChooseLanguage(ProcessEnvironment()));
    int expected = -1;
    if (!chosen.compare_exchange_strong(expected, value)) value = expected;
  }
  return static_cast<TLanguage>(value);
}

void SetProcessLanguage(TLanguage language) { chosen.store(static_cast<int>(language)); }

const char* LanguageCode(TLanguage language) {
  return language == TLanguage::lgRussian ? "ru" : "en";
}

void InstallCatalogues(const std::vector<TCatalogue>& catalogues) {
  std::lock_guard lock(catalogues_mutex);
  installed = &catalogues;
  indexed_for = -1;
}

std::string Tr(const char* context, const char* source) {
  const TCatalogueEntry* entry = Find(context, source);
  return entry && !entry->Forms.empty() ? entry->Forms[0] : source;
}

std::string TrN(const char* context, const char* source, const char* /*comment*/,
                long long count) {
  const TCatalogueEntry* entry = Find(context, source);
  std::string text = source;
  if (entry && !entry->Forms.empty()) {
    text = entry->Forms[std::min(FormFor(ProcessLanguage(), count), entry->Forms.size() - 1)];
  } else {
    // The English source is its own catalogue: "(s)" is the plural's ending. Built anew rather
    // than replaced in place, which GCC 12 warns about falsely (-Wrestrict).
    const char* const ending = FormFor(TLanguage::lgEnglish, count) == 0 ? "" : "s";
    std::string worded;
    size_t from = 0;
    for (size_t at; (at = text.find("(s)", from)) != std::string::npos; from = at + 3)
      worded.append(text, from, at - from).append(ending);
    text = worded.append(text, from, std::string::npos);
  }
  const std::string number = std::to_string(count);
  for (size_t at = text.find("%n"); at != std::string::npos; at = text.find("%n", at))
    text.replace(at, 2, number);
  return text;
}

std::string Tr(const TText& text) {
  return FormatText(Tr(text.Context, text.Source), text.Args) + text.Tail;
}

std::string ErrorText(const std::exception& error) {
  if (const auto* text = dynamic_cast<const ETextError*>(&error)) return Tr(text->Text());
  return error.what();
}

std::string DecimalText(double value, int digits) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits);
  std::string result(text, end.ptr);
  if (ProcessLanguage() == TLanguage::lgRussian)
    std::replace(result.begin(), result.end(), '.', ',');
  return result;
}

}  // namespace orvix
