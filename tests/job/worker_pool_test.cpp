// The worker pool runs every task of a batch exactly once, on any number of
// threads, lets the owner work while a batch runs, and reports the failure of
// the lowest-numbered failing task.

#include "job/worker_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace locprox {
namespace {

TEST(WorkerPool, CountsTheOwnerAmongItsThreads) {
  EXPECT_EQ(WorkerPool(0).threads(), 1u);
  EXPECT_EQ(WorkerPool(1).threads(), 1u);
  EXPECT_EQ(WorkerPool(3).threads(), 3u);
  EXPECT_GE(default_thread_count(), 1u);
}

TEST(WorkerPool, RunsEveryTaskOnceForEveryNumberOfThreads) {
  for (const unsigned threads : {1u, 2u, 3u, 8u}) {
    WorkerPool pool(threads);
    // Several batches in a row, of sizes below, at and above the number of
    // threads, and an empty one.
    for (const std::size_t count : {0u, 1u, 2u, 3u, 7u, 1000u}) {
      std::vector<std::atomic<int>> runs(count);
      auto task = [&](std::size_t i) { runs[i].fetch_add(1); };
      pool.run(count, task);
      for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(runs[i].load(), 1) << threads << " threads, task " << i << " of " << count;
      }
    }
  }
}

TEST(WorkerPool, SharesABatchAmongTheThreads) {
  WorkerPool pool(4);
  std::vector<std::thread::id> ran_on(64);
  auto task = [&](std::size_t i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ran_on[i] = std::this_thread::get_id();
  };
  pool.run(ran_on.size(), task);
  std::vector<std::thread::id> distinct;
  for (const auto& id : ran_on) {
    if (std::find(distinct.begin(), distinct.end(), id) == distinct.end()) distinct.push_back(id);
  }
  EXPECT_GT(distinct.size(), 1u);
}

TEST(WorkerPool, StartLetsTheOwnerWorkAndWaitFinishesTheBatch) {
  for (const unsigned threads : {1u, 2u, 5u}) {
    WorkerPool pool(threads);
    std::vector<int> done(50, 0);
    auto task = [&](std::size_t i) { done[i] = static_cast<int>(i) + 1; };
    pool.start(done.size(), task);
    int owner_work = 0;
    for (int k = 0; k < 1000; ++k) owner_work += k;  // the caller's own work meanwhile
    pool.wait();
    EXPECT_EQ(owner_work, 499500);
    for (std::size_t i = 0; i < done.size(); ++i) ASSERT_EQ(done[i], static_cast<int>(i) + 1);
  }
}

TEST(WorkerPool, RethrowsTheFailureOfTheLowestTaskAfterRunningTheRest) {
  for (const unsigned threads : {1u, 2u, 8u}) {
    WorkerPool pool(threads);
    std::atomic<int> ran{0};
    auto task = [&](std::size_t i) {
      ran.fetch_add(1);
      if (i == 17 || i == 40 || i == 5) throw std::runtime_error("task " + std::to_string(i));
    };
    try {
      pool.run(60, task);
      FAIL() << "no failure reported";
    } catch (const std::runtime_error& failure) {
      EXPECT_STREQ(failure.what(), "task 5") << threads << " threads";
    }
    EXPECT_EQ(ran.load(), 60);
    // The pool is usable again, without the old failure.
    auto quiet = [](std::size_t) {};
    EXPECT_NO_THROW(pool.run(10, quiet));
  }
}

TEST(WorkerPool, StopsWithABatchUncollected) {
  std::atomic<int> ran{0};
  auto task = [&](std::size_t) { ran.fetch_add(1); };
  {
    WorkerPool pool(3);
    pool.start(100, task);
  }
  EXPECT_EQ(ran.load(), 100);
}

}  // namespace
}  // namespace locprox
