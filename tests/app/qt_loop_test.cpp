#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/handover.h"
#include "runtime/message_loop.h"
#include "runtime/thread.h"

namespace orvix {
namespace {

class LambdaBody : public TThread {
 public:
  LambdaBody(TBuildKey key, std::function<void()> body) : TThread(key), body_(std::move(body)) {}

 protected:
  void Execute() override { body_(); }

 private:
  std::function<void()> body_;
};
using LambdaThread = TStarted<LambdaBody>;

class QtLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    SetExceptionHandler([this](std::exception_ptr e) {
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& x) {
        errors_.push_back(x.what());
      }
    });
  }
  void TearDown() override { SetExceptionHandler(nullptr); }

  // Runs the loop until `done` or a generous limit, so a fault fails instead of hanging.
  bool RunUntil(const std::function<bool()>& done) {
    QTimer poll, limit;
    bool timed_out = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (done()) CurrentLoop().Quit();
    });
    QObject::connect(&limit, &QTimer::timeout, [&] {
      timed_out = true;
      CurrentLoop().Quit();
    });
    poll.start(5);
    limit.start(10000);
    CurrentLoop().Run();
    return !timed_out && done();
  }

  std::vector<std::string> errors_;
};

TEST_F(QtLoop, AHandOverRunsWhileAModalDialogIsOpen) {
  QDialog dialog;
  std::atomic<bool> ran_on_main{false}, ran_in_dialog{false};
  std::unique_ptr<LambdaThread> thread;
  QTimer::singleShot(0, &dialog, [&] {
    thread = std::make_unique<LambdaThread>([&] {
      RunOnMainThread([&] {
        ran_on_main = IsMainThread();
        ran_in_dialog = QApplication::activeModalWidget() == &dialog;
      });
      RunOnMainThread([&] { dialog.accept(); });
    });
  });
  QTimer::singleShot(10000, &dialog, &QDialog::reject);  // the hand-over never came
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  thread.reset();
  EXPECT_TRUE(ran_on_main);
  EXPECT_TRUE(ran_in_dialog);
}

TEST_F(QtLoop, ProcessMessagesRunsHandOversAndPostedCalls) {
  std::atomic<bool> handed_over{false}, posted{false};
  bool posted_on_main = false;
  LambdaThread thread([&] {
    RunOnMainThread([&] { handed_over = true; });
    CurrentLoop().Post([&] {
      posted_on_main = IsMainThread();
      posted = true;
    });
  });
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(handed_over && posted) && std::chrono::steady_clock::now() < give_up) {
    CurrentLoop().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(handed_over);
  EXPECT_TRUE(posted);
  EXPECT_TRUE(posted_on_main);
}

TEST_F(QtLoop, ATimerHandlersErrorReachesTheHandlerAndTheTimerGoesOn) {
  TTimer timer;
  timer.SetInterval(10);
  int fired = 0;
  timer.OnTimer = [&] {
    if (++fired == 1) throw std::runtime_error("first tick failed");
    timer.SetEnabled(false);
  };
  timer.SetEnabled(true);
  EXPECT_TRUE(RunUntil([&] { return fired >= 2; }));
  EXPECT_EQ(errors_, std::vector<std::string>{"first tick failed"});
  EXPECT_FALSE(timer.Enabled());
}

TEST_F(QtLoop, APostedCallsErrorReachesTheHandlerAndLaterCallsStillRun) {
  bool later_ran = false;
  CurrentLoop().Post([] { throw std::runtime_error("posted call failed"); });
  CurrentLoop().Post([&] { later_ran = true; });
  EXPECT_TRUE(RunUntil([&] { return later_ran; }));
  EXPECT_EQ(errors_, std::vector<std::string>{"posted call failed"});
}

TEST_F(QtLoop, ATimerMayDestroyItselfInItsHandler) {
  auto timer = std::make_unique<TTimer>();
  int fired = 0;
  timer->SetInterval(5);
  timer->OnTimer = [&] {
    ++fired;
    timer.reset();
  };
  timer->SetEnabled(true);
  EXPECT_TRUE(RunUntil([&] { return timer == nullptr; }));
  // Let the loop run on a while: nothing may fire any more.
  bool waited = false;
  QObject context;
  QTimer::singleShot(50, &context, [&] { waited = true; });
  EXPECT_TRUE(RunUntil([&] { return waited; }));
  EXPECT_EQ(fired, 1);
}

TEST_F(QtLoop, QuitEndsTheInnermostRun) {
  std::vector<std::string> order;
  CurrentLoop().Post([&] {
    CurrentLoop().Post([&] {
      order.push_back("inner quit");
      CurrentLoop().Quit();
    });
    CurrentLoop().Run();
    order.push_back("inner returned");
    CurrentLoop().Quit();
  });
  QObject context;  // the safety limit goes with the test
  QTimer::singleShot(10000, &context, [] { CurrentLoop().Quit(); });
  CurrentLoop().Run();
  EXPECT_EQ(order, (std::vector<std::string>{"inner quit", "inner returned"}));
}

}  // namespace
}  // namespace orvix
