// The call runner with real threads and a real clock, and calls that block until the test lets
// them go: answers, busy retries, calls given up at their bound, for a stop and when the program is
// told to end, and results that come after nobody waits for them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/box_time.h"
#include "export/call_runner.h"

namespace tavrolin {
namespace {

using namespace std::chrono_literals;

// As the program's clock: less what its own boxes held. `skipped` lets minutes pass at once.
class SteadyClock final : public Clock {
 public:
  double Now() override { return RunSeconds(Raw()); }
  static double Raw() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count() + skipped;
  }
  static inline std::atomic<double> skipped{0};
};

// A pump on the real clock that waits a millisecond at a time; `onDoEvents` plays the window's
// events.
class RealPump final : public EventPump {
 public:
  void DoEvents() override {
    if (onDoEvents) onDoEvents();
  }
  void Idle(double) override { std::this_thread::sleep_for(1ms); }
  double Now() override { return clock.Now(); }
  bool QuitSeen() override { return quit; }
  std::function<void()> onDoEvents;
  bool quit = false;
  SteadyClock clock;
};

class CountingThreads final : public CallThreadStarter {
 public:
  void Start(std::function<void()> body) override {
    ++started;
    std::thread(std::move(body)).detach();
  }
  std::atomic<int> started = 0;
};

// A call that does not return until the test opens the gate.
class Gate {
 public:
  void Wait() {
    std::unique_lock lock(mutex_);
    open_.wait(lock, [this] { return isOpen_; });
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      isOpen_ = true;
    }
    open_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable open_;
  bool isOpen_ = false;
};

// A result that counts where it ends.
struct Handed {
  explicit Handed(std::atomic<int>* destroyed = nullptr) : destroyed(destroyed) {}
  Handed(Handed&& other) noexcept : destroyed(std::exchange(other.destroyed, nullptr)) {}
  Handed& operator=(Handed&& other) noexcept {
    destroyed = std::exchange(other.destroyed, nullptr);
    return *this;
  }
  ~Handed() {
    if (destroyed) ++*destroyed;
  }
  std::atomic<int>* destroyed;
};

bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

// What the blocked calls touch; it outlives the test, since threads left behind finish later.
struct Blocked {
  Gate gate;
  std::atomic<int> inside = 0;
  std::atomic<int> lateDestroyed = 0;
};

class CallRunnerTest : public ::testing::Test {
 protected:
  ~CallRunnerTest() override { blocked->gate.Open(); }
  std::shared_ptr<CallRunner> Make(CallBounds bounds) {
    runner = CallRunner::Create({threads, std::make_shared<SteadyClock>(), &pump, &stop}, bounds);
    return runner;
  }
  // A call that blocks at the gate and then hands back a counted result.
  std::function<Handed(AttemptClock&)> Blocking() {
    return [b = blocked](AttemptClock& clock) {
      ++b->inside;
      clock.Start();
      b->gate.Wait();
      --b->inside;
      return Handed(&b->lateDestroyed);
    };
  }

  RealPump pump;
  std::shared_ptr<CountingThreads> threads = std::make_shared<CountingThreads>();
  RunStop stop{pump};
  std::shared_ptr<Blocked> blocked = std::make_shared<Blocked>();
  std::shared_ptr<CallRunner> runner;
};

TEST_F(CallRunnerTest, AnAnswerAndAnErrorComeBackToTheCaller) {
  auto r = Make({1, 10});
  EXPECT_EQ(42, r->Run<int>(L"Answer", [](AttemptClock&) { return 42; }));
  EXPECT_THROW(r->Run<int>(L"Fails", [](AttemptClock&) -> int { throw std::runtime_error("refused"); }),
               std::runtime_error);
  EXPECT_EQ(1, threads->started.load()) << "one thread serves every call that returns";
}

TEST_F(CallRunnerTest, ACallThatDoesNotReturnIsGivenUpAtItsBoundAndItsLateResultDropped) {
  auto r = Make({1, 0.05});
  int events = 0;
  pump.onDoEvents = [&] { ++events; };
  try {
    r->Run<Handed>(L"Open", Blocking());
    FAIL() << "a call that never returned came back";
  } catch (const CallAbandoned& e) {
    EXPECT_EQ(L"Open", e.member());
    EXPECT_EQ(CallAbandoned::Why::NoAnswer, e.why());
    EXPECT_EQ(0.05, e.seconds());
  }
  EXPECT_GT(events, 0) << "the window's events were handled meanwhile";
  // The next call goes to a fresh thread while the first is still stuck.
  EXPECT_EQ(7, r->Run<int>(L"Next", [](AttemptClock&) { return 7; }));
  EXPECT_EQ(2, threads->started.load());
  EXPECT_EQ(1, blocked->inside.load());

  blocked->gate.Open();
  EXPECT_TRUE(Eventually([&] { return blocked->lateDestroyed == 1; }))
      << "the late result is let go of where it came";
}

TEST_F(CallRunnerTest, AStopGivesUpTheCallInHandButNotTheCallsThatPutThingsRight) {
  auto r = Make({1, 60});
  int polls = 0;
  pump.onDoEvents = [&] {
    if (++polls == 20) stop.Ask();
  };
  try {
    r->Run<Handed>(L"PrintOut", Blocking());
    FAIL();
  } catch (const CallAbandoned& e) {
    EXPECT_EQ(CallAbandoned::Why::Stopped, e.why());
  }
  // With the stop already asked, the quit that follows is waited for as usual.
  bool quitRan = false;
  EXPECT_NO_THROW(r->Run<bool>(L"Quit", [&](AttemptClock&) { return quitRan = true; }));
  EXPECT_TRUE(quitRan);
}

TEST_F(CallRunnerTest, TheWindowClosedGivesUpTheCallInHandAlsoOneThatPutsRightAfterAStop) {
  auto r = Make({1, 60});
  stop.Ask();  // the user's stop came first: this call puts things right
  pump.onDoEvents = [&] {
    if (r->InCall() && blocked->inside == 1) pump.quit = true;
  };
  try {
    r->Run<Handed>(L"Quit", Blocking());
    FAIL();
  } catch (const CallAbandoned& e) {
    EXPECT_EQ(CallAbandoned::Why::Stopped, e.why()) << "the same way out as a stop";
  }
  pump.onDoEvents = nullptr;
  // The calls that put things right after the quit are made, bounded as their caller says.
  EXPECT_EQ(3, r->Run<int>(L"Quit", [](AttemptClock&) { return 3; }));
}

TEST_F(CallRunnerTest, WorkAlongsideACallRunsWhileItIsUnderWayAndItsFailureComesFirst) {
  auto r = Make({1, 60});
  // A call that returns only once the work alongside has done its part (a dialog completed
  // while PrintOut waits for it).
  bool sawCallInHand = false;
  EXPECT_NO_THROW(r->RunAlongside<Handed>(L"PrintOut", r->bounds(), Blocking(), [&](const std::function<bool()>& failed) {
    sawCallInHand = Eventually([&] { return blocked->inside == 1; }) && r->InCall() && !failed();
    blocked->gate.Open();
  }));
  EXPECT_TRUE(sawCallInHand);

  // A call that fails: the work alongside is told, and the call's error is the one thrown.
  try {
    r->RunAlongside<int>(
        L"PrintOut", r->bounds(), [](AttemptClock&) -> int { throw std::runtime_error("printer error"); },
        [&](const std::function<bool()>& failed) {
          EXPECT_TRUE(Eventually(failed));
          throw std::logic_error("no dialog");
        });
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("printer error", e.what());
  }
}

// Help read for five minutes while PrintOut waits for its dialog to be completed: the call's
// bound counts only the time the run could look, so the dialog is still completed after it.
TEST_F(CallRunnerTest, TimeInTheProgramsOwnBoxesIsNotCountedAgainstTheCallInHand) {
  auto r = Make({1, 2});
  bool failedAfterBox = true;
  EXPECT_NO_THROW(r->RunAlongside<Handed>(L"PrintOut", r->bounds(), Blocking(), [&](const std::function<bool()>& failed) {
    EXPECT_TRUE(Eventually([&] { return blocked->inside == 1; }));
    OwnBoxTime().Opened(SteadyClock::Raw());
    SteadyClock::skipped = SteadyClock::skipped + 300;
    OwnBoxTime().Closed(SteadyClock::Raw());
    failedAfterBox = failed();
    blocked->gate.Open();
  }));
  EXPECT_FALSE(failedAfterBox);
}

TEST(BoxTime, CountsNestedBoxesOnceAndAnOpenOneUpToNow) {
  BoxTime boxes;
  boxes.Closed(1);  // a close without an open counts nothing
  boxes.Opened(10);
  boxes.Opened(12);  // the stop question over the folder picker
  EXPECT_EQ(boxes.Held(15), 5);
  boxes.Closed(20);
  boxes.Closed(30);
  EXPECT_EQ(boxes.Held(100), 20);
  boxes.Opened(200);
  EXPECT_EQ(boxes.Held(201), 21);
}

TEST(RetryWhileBusy, RetriesARefusedCallWithinItsOwnBound) {
  struct FakeClock final : Clock {
    double Now() override { return now; }
    double now = 0;
  };
  auto clock = std::make_shared<FakeClock>();
  AttemptClock attempts(clock);
  std::vector<double> pauses;
  const auto pause = [&](double s) {
    pauses.push_back(s);
    clock->now += s;
  };
  int refusals = 3;
  EXPECT_TRUE(RetryWhileBusy({60, 120}, attempts, [&] { return refusals-- > 0; }, pause));
  EXPECT_EQ(3u, pauses.size());

  pauses.clear();
  EXPECT_FALSE(RetryWhileBusy({1, 120}, attempts, [] { return true; }, pause)) << "busy for good";
  EXPECT_EQ(4u, pauses.size()) << "a quarter second apart, for one second in all";
  pauses.clear();
  EXPECT_FALSE(RetryWhileBusy({0, 1}, attempts, [] { return true; }, pause));
  EXPECT_TRUE(pauses.empty()) << "no retries where none are allowed";
}

}  // namespace
}  // namespace tavrolin
