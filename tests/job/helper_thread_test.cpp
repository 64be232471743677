// The year loop's helper thread: every task handed to it has finished when
// wait() returns, a task's exception comes back from wait() (once), and the
// destructor lets a running task finish.
#include "job/helper_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace locprox {
namespace {

struct Counter {
  std::atomic<int> runs{0};
  bool slow = false;
};

void count_run(void* context) {
  Counter& counter = *static_cast<Counter*>(context);
  if (counter.slow) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  counter.runs.fetch_add(1);
}

void fail(void*) {
  throw std::runtime_error("write failed");
}

TEST(HelperThread, EveryTaskHasFinishedWhenWaitReturns) {
  HelperThread helper;
  Counter counter;
  counter.slow = true;
  for (int i = 1; i <= 5; ++i) {
    helper.start(count_run, &counter);
    helper.wait();
    EXPECT_EQ(counter.runs.load(), i);
  }
}

TEST(HelperThread, ATasksExceptionComesBackFromWaitOnce) {
  HelperThread helper;
  helper.start(fail, nullptr);
  EXPECT_THROW(helper.wait(), std::runtime_error);
  EXPECT_NO_THROW(helper.wait());
  Counter counter;
  helper.start(count_run, &counter);  // the helper goes on after a failure
  helper.wait();
  EXPECT_EQ(counter.runs.load(), 1);
}

TEST(HelperThread, TheDestructorLetsARunningTaskFinish) {
  Counter counter;
  counter.slow = true;
  {
    HelperThread helper;
    helper.start(count_run, &counter);
  }
  EXPECT_EQ(counter.runs.load(), 1);
}

}  // namespace
}  // namespace locprox
