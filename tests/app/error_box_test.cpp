#include "app/error_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <stdexcept>

#include "exchange/image_file.h"
#include "runtime/message_loop.h"
#include "tests/support/recording_dialogs.h"

namespace orvix {
namespace {

class ErrorBox : public ::testing::Test {
 protected:
  void SetUp() override { InstallErrorBox(dialogs_); }
  void TearDown() override { SetExceptionHandler(nullptr); }

  testing::RecordingDialogs dialogs_;
  const QStringList& shown_ = dialogs_.errors;
};

// An exception thrown by any Qt handler, not just ours, would otherwise unwind through Qt.
class Throwing : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("event handler failed");
    return QObject::event(e);
  }
};

TEST_F(ErrorBox, ShowsWhatEscapesAnyHandlerAndTheProgramGoesOn) {
  HandleException(std::make_exception_ptr(EImageFile("Файл \"/tmp/a.bin\" слишком велик")));
  HandleException(std::make_exception_ptr(42));
  Throwing target;
  QEvent event(QEvent::User);
  QCoreApplication::sendEvent(&target, &event);
  bool later_ran = false;
  QTimer::singleShot(0, &target, [] { throw std::runtime_error("queued call failed"); });
  QTimer::singleShot(0, &target, [&] { later_ran = true; });
  for (int i = 0; i < 100 && !later_ran; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(later_ran);
  EXPECT_EQ(shown_, (QStringList{"Файл \"/tmp/a.bin\" слишком велик", "Unknown error",
                                 "event handler failed", "queued call failed"}));
}

TEST_F(ErrorBox, IsACriticalMessageBoxWithOneOkButton) {
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QTimer watcher;
  int looks = 0;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      if (++looks > 2000) watcher.stop();  // 10 s: the box never came
      return;
    }
    watcher.stop();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    box->button(QMessageBox::Ok)->click();
  });
  watcher.start(5);
  ShowErrorBox(QStringLiteral("Stream read error"));
  EXPECT_EQ(text, "Stream read error");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

}  // namespace
}  // namespace orvix
