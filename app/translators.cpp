#include "app/translators.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <memory>
#include <vector>

namespace orvix {
namespace {

// Owned here for the process's lifetime; a second call (tests switch languages) replaces them.
std::vector<std::unique_ptr<QTranslator>>& Installed() {
  static std::vector<std::unique_ptr<QTranslator>> installed;
  return installed;
}

}  // namespace

void InstallTranslators(TLanguage language) {
  SetProcessLanguage(language);
  for (const auto& translator : Installed()) QCoreApplication::removeTranslator(translator.get());
  Installed().clear();
  const QString code = QString::fromLatin1(LanguageCode(language));
  QLocale::setDefault(QLocale(code));
  if (language == TLanguage::lgEnglish) return;
  // Qt's own first: the program's catalogue, installed last, is asked first.
  for (const QString& catalogue : {QStringLiteral("qtbase"), QStringLiteral("orvix")}) {
    auto translator = std::make_unique<QTranslator>();
    // A catalogue missing from the resources would leave the window half in English; the build
    // puts both there, so this is a build fault and the texts fall back to English.
    if (!translator->load(QStringLiteral(":/i18n/%1_%2.qm").arg(catalogue, code))) continue;
    QCoreApplication::installTranslator(translator.get());
    Installed().push_back(std::move(translator));
  }
}

QString Worded(const TText& text) {
  const QString pattern = QCoreApplication::translate(text.Context, text.Source);
  return QString::fromStdString(FormatText(pattern.toStdString(), text.Args) + text.Tail);
}

QString WordedError(const std::exception& error) {
  if (const auto* text = dynamic_cast<const ETextError*>(&error)) return Worded(text->Text());
  return QString::fromUtf8(error.what());
}

}  // namespace orvix
