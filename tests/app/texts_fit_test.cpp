// Every text of both windows shows whole, in each language: the width its font in use needs fits
// inside its control. CTest runs these at 96 and at 120 pixels per inch (QT_FONT_DPI), each with
// the fonts a desktop has (Liberation Sans) and with DejaVu alone (fonts-dejavu-core), as the
// fontconfig files in fonts/ choose them: ORVIX_WINDOW_TEXTS="FONTS/DPI" names one,
// "dejavu-only/120".
#include <gtest/gtest.h>

#include <QByteArrayList>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <functional>
#include <utility>

#include "app/application.h"
#include "app/exchange_window.h"
#include "app/gang_window.h"
#include "app/main_window.h"
#include "app/run_texts.h"
#include "app/translators.h"
#include "runtime/qt/qt_loop.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/scoped_env.h"

namespace orvix {
namespace {

using testing::Child;

// The label's text in its own font, inside the label's contents.
void ExpectFits(const QLabel& label) {
  const int needed = label.fontMetrics().horizontalAdvance(label.text());
  EXPECT_LE(needed, label.contentsRect().width())
      << label.objectName().toStdString() << " \"" << label.text().toStdString() << "\" in "
      << QFontInfo(label.font()).family().toStdString();
}

// The caption's width in the button's font, with its picture and the style's margins (what the
// button's size hint adds up), inside the button.
void ExpectFits(const QPushButton& button) {
  EXPECT_LE(button.sizeHint().width(), button.width())
      << button.objectName().toStdString() << " \"" << button.text().toStdString() << "\" needs "
      << button.fontMetrics().horizontalAdvance(button.text()) << " for its text in "
      << QFontInfo(button.font()).family().toStdString();
}

// The window's language goes in before the windows are made: they take their texts then.
bool Speaking(TLanguage language) {
  InstallTranslators(language);
  return true;
}

std::string LanguageName(const ::testing::TestParamInfo<TLanguage>& language) {
  return LanguageCode(language.param);
}

class TextsFit : public ::testing::TestWithParam<TLanguage> {
 protected:
  void SetUp() override {
    std::cout << "font " << QFontInfo(main_.font()).family().toStdString() << ", "
              << QFontInfo(main_.font()).pixelSize() << " px at "
              << qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch() *
                        QGuiApplication::primaryScreen()->devicePixelRatio())
              << " pixels per inch\n";
    main_.show();
  }

  const bool speaking_ = Speaking(GetParam());
  testing::RecordingDialogs dialogs_;
  TfmMain main_{dialogs_};
};

INSTANTIATE_TEST_SUITE_P(Languages, TextsFit,
                         ::testing::Values(TLanguage::lgRussian, TLanguage::lgEnglish),
                         LanguageName);

TEST_P(TextsFit, EveryLabelAndButtonOfTheMainWindow) {
  const auto labels = main_.findChildren<QLabel*>(QRegularExpression("^(Label|lbPort$)"));
  ASSERT_EQ(labels.size(), 4);
  for (const QLabel* label : labels) ExpectFits(*label);
  const auto buttons = main_.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 2);
  for (const QPushButton* button : buttons) ExpectFits(*button);
}

TEST_P(TextsFit, TheGangsCheckBoxAndCount) {
  const QCheckBox& all = Child<QCheckBox>(main_, "chAllDevices");
  EXPECT_LE(all.sizeHint().width(), all.width()) << all.text().toStdString();
  ExpectFits(Child<QLabel>(main_, "lbExpect"));
  auto& expect = Child<QSpinBox>(main_, "seExpect");
  expect.setEnabled(true);
  expect.setValue(4096);
  EXPECT_LE(expect.sizeHint().width(), expect.width());
}

TEST_P(TextsFit, StatusBarTexts) {
  QLabel& port = Child<QLabel>(main_, "sbStatusBarPanel0");
  for (const char* name : {"COM3", "COM255"}) {
    port.setText(name);
    ExpectFits(port);
  }
  QLabel& status = Child<QLabel>(main_, "sbStatusBarPanel2");
  for (const TRunText text : {kTextNoAnswer, kTextFinished, kTextAborted}) {
    status.setText(Worded(text));
    ExpectFits(status);
  }
  port.setText("4096");  // the boards of a gang
  ExpectFits(port);
  status.setText(TfrmGang::CountText(4096, 4096));
  ExpectFits(status);
  // The longest figures of a run beside the text of its end.
  QLabel& figures = Child<QLabel>(main_, "sbStatusBarPanel1");
  main_.SetStatusPanel(TStatusPanel::spRunResult,
                       QCoreApplication::translate("TfrmTrans", "%1 bytes, %2 s, %3")
                           .arg(65536)
                           .arg(QLocale().toString(123.4, 'f', 1), QStringLiteral("ABCD")));
  status.setText(Worded(kTextFinished));
  QCoreApplication::processEvents();
  ExpectFits(figures);
  ExpectFits(status);
}

TEST_P(TextsFit, ThePortChooser) {
  auto& chooser = Child<QComboBox>(main_, "cbPort");
  EXPECT_LE(chooser.sizeHint().width(), chooser.width()) << chooser.currentText().toStdString();
}

TEST_P(TextsFit, AddressAndDeviceNumberFields) {
  for (const char* name : {"cbStartAddress", "cbStopAddress"}) {
    const QLineEdit& edit = *Child<QComboBox>(main_, name).lineEdit();
    EXPECT_LE(edit.fontMetrics().horizontalAdvance("FFFF"), edit.width()) << name;
  }
  auto& number = Child<QSpinBox>(main_, "seNumberDevice");
  number.setValue(255);
  EXPECT_LE(number.sizeHint().width(), number.width());
}

TEST_P(TextsFit, EveryTextOfTheExchangeWindow) {
  const testing::ScopedEnv no_ports("ORVIX_PORTS", "");
  TfrmTrans window(main_, main_, dialogs_, main_.RunSettings());
  window.show();
  QLabel& status = Child<QLabel>(window, "lbStatus");
  ExpectFits(status);  // as the form stores it
  // Each text as a run brings it up.
  const std::pair<QString, std::function<void()>> steps[] = {
      {Worded(kTextNegotiation), [&] { window.LookingForDevice({}); }},
      {Worded(kTextProgramming),
       [&] { window.DeviceFound("COM3"), window.Progress("COM3", 128, 256); }},
      {QString::fromLatin1(kTextChecksumError),
       [&] { window.BadReply("COM3", TBadReply::brChecksumError); }},
  };
  for (const auto& [text, step] : steps) {
    step();
    EXPECT_EQ(status.text(), text);
    ExpectFits(status);
  }
  ExpectFits(Child<QPushButton>(window, "bbStop"));
}

TEST_P(TextsFit, EveryTextOfTheGangWindow) {
  const testing::ScopedEnv no_ports("ORVIX_PORTS", "");
  TfrmGang window(
      main_, main_, dialogs_, [this] { return main_.RunSettings(); }, 4096);
  window.show();
  for (const char* name : {"bbStop", "bbDone", "bbAgain", "bbClose"})
    ExpectFits(Child<QPushButton>(window, name));
  QLabel& found = Child<QLabel>(window, "lbFound");
  for (const QString& line :
       {QCoreApplication::translate("TfrmGang", "Found %1 of %2").arg(4095).arg(4096),
        TfrmGang::CountText(4095, 4096), TfrmGang::CountText(4096, 4096),
        TfrmGang::CountText(0, 4091), Worded(kTextAborted)}) {
    found.setText(line);
    ExpectFits(found);
  }
  // A row: the port, and each result in the bold of a failed row, inside its column.
  const QTableWidget& table = Child<QTableWidget>(window, "sgPorts");
  const QHeaderView& header = *table.horizontalHeader();
  constexpr int kCellMargins = 8;
  for (int column = 0; column < table.columnCount(); ++column) {
    const QString title = table.horizontalHeaderItem(column)->text();
    EXPECT_LE(header.fontMetrics().horizontalAdvance(title) + kCellMargins,
              header.sectionSize(column))
        << title.toStdString();
  }
  EXPECT_LE(table.fontMetrics().horizontalAdvance("COM255") + kCellMargins, header.sectionSize(0));
  QFont bold = table.font();
  bold.setBold(true);
  const QFontMetrics bold_metrics(bold);
  for (const TRunText text :
       {kTextProgramming, kTextFinished, kTextAborted, kTextNoAnswer, kTextNoChecksumConfirmation})
    EXPECT_LE(bold_metrics.horizontalAdvance(Worded(text)) + kCellMargins, header.sectionSize(3))
        << Worded(text).toStdString();
}

}  // namespace
}  // namespace orvix

// One variable for both settings: CTest's environment for a discovered test takes only one.
int main(int argc, char** argv) {
  const QByteArrayList setting = qgetenv("ORVIX_WINDOW_TEXTS").split('/');
  if (setting.size() == 2) {
    qputenv("FONTCONFIG_FILE", ORVIX_TEXTS_FONTS_DIR "/" + setting[0] + ".conf");
    qputenv("QT_FONT_DPI", setting[1]);
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  orvix::TApplication app(argc, argv);
  orvix::TQtMessageLoop loop;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
