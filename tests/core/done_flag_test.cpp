// The completion flag between a worker thread and the thread that waits for it.
#include "core/done_flag.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace kestrum {
namespace {

TEST(DoneFlag, WaiterSeesEverythingWrittenBeforeSet) {
  for (int round = 0; round < 50; ++round) {
    DoneFlag done;
    std::vector<int> results;  // written by the worker only, read after the wait
    int woken = 0;
    done.OnSet([&woken] { ++woken; });
    std::thread worker([&] {
      for (int i = 0; i < 1000; ++i) results.push_back(i);
      done.Set();
    });
    done.Wait();
    ASSERT_TRUE(done.IsSet());
    ASSERT_EQ(results.size(), 1000u);
    EXPECT_EQ(results.back(), 999);
    worker.join();
    EXPECT_EQ(woken, 1);
  }
}

TEST(DoneFlag, HookInstalledAfterSetRunsAtOnce) {
  DoneFlag done;
  EXPECT_FALSE(done.IsSet());
  done.Set();
  done.Wait();  // returns at once
  int woken = 0;
  done.OnSet([&woken] { ++woken; });
  EXPECT_EQ(woken, 1);
}

}  // namespace
}  // namespace kestrum
