// Drives the installed window program from inside, as a user at the screen would, so that the
// program under test is the installed executable itself with nothing of the tests linked in.
// Qt loads it as a generic plugin (QT_QPA_GENERIC_PLUGINS=orvixdriver, QT_PLUGIN_PATH naming
// this build's plugins folder); it works on the offscreen platform.
//
// ORVIX_DRIVE_IMAGE set: pick that image with the file button, press "Загрузить" and wait for
// the run to end. Then, or at once without it, press "Выход". Every message box that appears is
// reported and closed. Reports go to stderr as "driver: ..." lines.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

QWidget* VisibleTopLevel(const char* class_name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->inherits(class_name)) return w;
  return nullptr;
}

void Report(const QString& text) {
  std::fprintf(stderr, "driver: %s\n", text.toUtf8().constData());
  std::fflush(stderr);
}

// Queued, so that a modal loop the press opens never runs inside the driver's own tick.
void Press(QObject* target, const char* method) {
  QMetaObject::invokeMethod(target, method, Qt::QueuedConnection);
}

class WindowDriver : public QObject {
 public:
  WindowDriver() : image_(qEnvironmentVariable("ORVIX_DRIVE_IMAGE")) {
    connect(&tick_, &QTimer::timeout, this, [this] { Tick(); });
    // Generic plugins are made while the application object is still being built: start once
    // its loop runs.
    QMetaObject::invokeMethod(this, [this] { tick_.start(100); }, Qt::QueuedConnection);
  }

 private:
  enum class Step { kFindWindow, kPickImage, kChooseFile, kStart, kWaitForRun, kExit, kDone };

  void Tick() {
    if (auto* box = qobject_cast<QMessageBox*>(VisibleTopLevel("QMessageBox"))) {
      Report("message box: " + box->text());
      box->done(QMessageBox::Ok);
      return;
    }
    if (++ticks_ > 600) {
      Report(QStringLiteral("gave up at step %1").arg(static_cast<int>(step_)));
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
          Report(QStringLiteral("  open: %1 \"%2\"")
                     .arg(QString::fromLatin1(w->metaObject()->className()), w->windowTitle()));
      tick_.stop();
      QApplication::exit(3);
      return;
    }
    QWidget* main = VisibleTopLevel("QMainWindow");
    if (!main) return;
    switch (step_) {
      case Step::kFindWindow:
        step_ = image_.isEmpty() ? Step::kExit : Step::kPickImage;
        break;
      case Step::kPickImage:
        if (auto* button = main->findChild<QAction*>(QStringLiteral("beFileNameButton"))) {
          Press(button, "trigger");
          step_ = Step::kChooseFile;
        }
        break;
      case Step::kChooseFile:
        if (auto* dialog = qobject_cast<QFileDialog*>(VisibleTopLevel("QFileDialog"))) {
          // The dialog leaves its name field alone while the field has the focus.
          if (QWidget* focused = dialog->focusWidget()) focused->clearFocus();
          dialog->selectFile(image_);
          Press(dialog, "accept");
          step_ = Step::kStart;
        }
        break;
      case Step::kStart:
        if (VisibleTopLevel("QFileDialog")) {
          step_ = Step::kChooseFile;  // the dialog did not take the name: once more
          break;
        }
        if (auto* start = main->findChild<QPushButton*>(QStringLiteral("bbStart"));
            start && start->isEnabled()) {
          Report("image loaded, stop address " +
                 main->findChild<QComboBox*>(QStringLiteral("cbStopAddress"))->currentText());
          // A short run opens and closes the exchange window between two ticks; the click's
          // end tells that it ran.
          connect(start, &QPushButton::clicked, this, [this] { clicked_ = true; });
          Press(start, "click");
          step_ = Step::kWaitForRun;
        }
        break;
      case Step::kWaitForRun:
        if (clicked_ && !VisibleTopLevel("QDialog")) {
          const auto* status = main->findChild<QLabel*>(QStringLiteral("sbStatusBarPanel2"));
          Report("status: " + (status ? status->text() : QStringLiteral("(no status panel)")));
          step_ = Step::kExit;
        }
        break;
      case Step::kExit:
        if (auto* exit = main->findChild<QPushButton*>(QStringLiteral("BitBtn2"))) {
          Report(QStringLiteral("closing"));
          Press(exit, "click");
          step_ = Step::kDone;
        }
        break;
      case Step::kDone:
        break;
    }
  }

  QString image_;
  QTimer tick_;
  Step step_ = Step::kFindWindow;
  bool clicked_ = false;
  int ticks_ = 0;
};

}  // namespace

class WindowDriverPlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "window_driver.json")

 public:
  QObject* create(const QString& key, const QString&) override {
    if (key.compare(QLatin1String("orvixdriver"), Qt::CaseInsensitive) != 0) return nullptr;
    return new WindowDriver;
  }
};

#include "window_driver.moc"
