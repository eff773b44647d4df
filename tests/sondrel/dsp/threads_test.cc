// The thread layer: the affinity mask's CPU count follows a changed mask,
// and a helper runs every posted task on its own thread, once, before the
// wait returns, and is joined by the stop.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include "platform/threads.h"

TEST(Threads, UsableCpusFollowTheAffinityMask) {
  cpu_set_t saved;
  ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
  EXPECT_EQ(platform_usable_cpus(), CPU_COUNT(&saved));
  int32_t first = -1;
  for (int32_t c = 0; c < CPU_SETSIZE && first < 0; ++c)
    if (CPU_ISSET(c, &saved)) first = c;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_EQ(platform_usable_cpus(), 1);
  ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
  EXPECT_EQ(platform_usable_cpus(), CPU_COUNT(&saved));
}

namespace {
struct Count {
  int64_t runs = 0;
  int64_t sum = 0;
  pthread_t ran_on{};
  int blocks_sigint = 0;
};
void add_one(void* arg) {
  Count* c = static_cast<Count*>(arg);
  c->runs += 1;
  c->sum += c->runs;
  c->ran_on = pthread_self();
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  c->blocks_sigint = sigismember(&mask, SIGINT) && sigismember(&mask, SIGCONT);
}
}  // namespace

TEST(Threads, HelperRunsEachPostedTaskOnceOnItsOwnThread) {
  PlatformHelper h;
  ASSERT_EQ(platform_helper_start(&h), 0);
  EXPECT_EQ(h.thread.running, 1);
  Count count;
  for (int32_t i = 0; i < 2000; ++i) {
    platform_helper_post(&h, add_one, &count);
    platform_helper_wait(&h);
    ASSERT_EQ(count.runs, i + 1);  // done before the wait returned, exactly once
  }
  EXPECT_EQ(count.sum, 2000 * 2001 / 2);
  EXPECT_FALSE(pthread_equal(count.ran_on, pthread_self()));
  // Signals are left to the main thread, whose own mask is unchanged.
  EXPECT_EQ(count.blocks_sigint, 1);
  sigset_t mine;
  pthread_sigmask(SIG_SETMASK, nullptr, &mine);
  EXPECT_FALSE(sigismember(&mine, SIGINT));
  platform_helper_stop(&h);
  EXPECT_EQ(h.thread.running, 0);
  platform_helper_stop(&h);  // a second stop does nothing
  // A helper that never ran a task stops as well.
  ASSERT_EQ(platform_helper_start(&h), 0);
  platform_helper_stop(&h);
  EXPECT_EQ(h.thread.running, 0);
}
