#include "app/error_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>
#include <stdexcept>

#include "app/user_dialogs.h"
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
  HandleException(std::make_exception_ptr(EImageFile({"image", "Stream read error", {}, {}})));
  HandleException(std::make_exception_ptr(42));
  Throwing target;
  QEvent event(QEvent::User);
  QCoreApplication::sendEvent(&target, &event);
  bool later_ran = false;
  QTimer::singleShot(0, &target, [] { throw std::runtime_error("queued call failed"); });
  QTimer::singleShot(0, &target, [&] { later_ran = true; });
  for (int i = 0; i < 100 && !later_ran; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(later_ran);
  EXPECT_EQ(shown_, (QStringList{"Ошибка чтения потока", "Неизвестная ошибка",
                                 "event handler failed", "queued call failed"}));
}

// What a box showed, seen from inside its modal loop.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QWidget* parent = nullptr;
  Qt::WindowModality modality = Qt::NonModal;
};

// Answers the next box with OK and tells what it showed; nothing when no box came within 10 s.
class BoxAnswer {
 public:
  BoxAnswer() {
    QObject::connect(&watcher_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) {
        if (++looks_ > 2000) watcher_.stop();
        return;
      }
      watcher_.stop();
      seen = SeenBox{box->windowTitle(),    box->text(),         box->icon(),
                     box->standardButtons(), box->parentWidget(), box->windowModality()};
      box->button(QMessageBox::Ok)->click();
    });
    watcher_.start(5);
  }
  std::optional<SeenBox> seen;

 private:
  QTimer watcher_;
  int looks_ = 0;
};

TEST_F(ErrorBox, IsACriticalMessageBoxWithOneOkButtonAndTheApplicationsTitle) {
  BoxAnswer answer;
  ShowErrorBox(QStringLiteral("Stream read error"));
  ASSERT_TRUE(answer.seen);
  EXPECT_EQ(answer.seen->text, "Stream read error");
  EXPECT_EQ(answer.seen->title, "Программатор \"Orvix\"");
  EXPECT_EQ(answer.seen->icon, QMessageBox::Critical);
  EXPECT_EQ(answer.seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(answer.seen->modality, Qt::ApplicationModal);  // no window to belong to
}

// The give-up box belongs to the exchange window, an error to the window in front: each blocks
// its own window (and those under it), not the others, and bears the same caption.
TEST_F(ErrorBox, EachBoxIsModalToItsWindowWithTheSameCaption) {
  QWidget main_window;
  main_window.show();
  QDialog exchange(&main_window);
  exchange.setWindowModality(Qt::ApplicationModal);
  exchange.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&exchange));

  BoxAnswer give_up;
  TScreenDialogs().ShowMessage(exchange, QStringLiteral("Нет ответа от устройства"));
  ASSERT_TRUE(give_up.seen);
  EXPECT_EQ(give_up.seen->parent, &exchange);
  EXPECT_EQ(give_up.seen->modality, Qt::WindowModal);
  EXPECT_EQ(give_up.seen->icon, QMessageBox::NoIcon);
  EXPECT_EQ(give_up.seen->title, ApplicationTitle());

  BoxAnswer error;
  ShowErrorBox(QStringLiteral("Unable to write to out.txt"));
  ASSERT_TRUE(error.seen);
  EXPECT_EQ(error.seen->parent, &exchange);
  EXPECT_EQ(error.seen->modality, Qt::WindowModal);
  EXPECT_EQ(error.seen->title, ApplicationTitle());
}

TEST_F(ErrorBox, AWindowThatEndsClosesItsBoxes) {
  QWidget main_window;
  main_window.show();
  QDialog exchange(&main_window);
  exchange.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&exchange));
  // An error box and the give-up box over it, both open when the window ends.
  bool returned = false;
  QTimer::singleShot(0, &exchange, [&] {
    QTimer::singleShot(0, &exchange, [&] {
      TScreenDialogs().ShowMessage(exchange, QStringLiteral("Нет ответа от устройства"));
    });
    TScreenDialogs().ShowError(QStringLiteral("Unable to write to out.txt"));
    returned = true;
  });
  QTimer::singleShot(200, &exchange, [&] {
    EXPECT_EQ(exchange.findChildren<QMessageBox*>().size(), 2);
    CloseOwnedBoxes(exchange);
    exchange.done(QDialog::Rejected);
  });
  QTimer::singleShot(10000, &exchange, [&] {  // the boxes stayed: answer them, and fail
    ADD_FAILURE() << "a box outlived its window";
    for (QMessageBox* box : exchange.findChildren<QMessageBox*>()) box->done(QMessageBox::Ok);
  });
  exchange.exec();
  EXPECT_TRUE(returned);
  for (QMessageBox* box : exchange.findChildren<QMessageBox*>()) EXPECT_FALSE(box->isVisible());
}

}  // namespace
}  // namespace orvix
