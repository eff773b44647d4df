// Threads of our own: how many CPUs the process may run on (its affinity
// mask), a worker thread that is started and joined, a lock with its
// condition, and a helper thread that runs one posted task at a time.
// With one CPU in the mask the program starts no thread at all.
#pragma once
#include <pthread.h>

#include <cstdint>

// CPUs in the process's affinity mask (1 when the mask cannot be read).
int32_t platform_usable_cpus();

// A thread started with a function and joined once.
struct PlatformThread {
  pthread_t id;
  int32_t running;  // 1 between a successful start and the join
};
// Starts `run(arg)` on a new thread, which takes no signal (they all go to
// the main thread). Returns 0, or 1 when no thread could be made (nothing
// runs then).
int platform_thread_start(PlatformThread* thread, void* (*run)(void*), void* arg);
// Waits for the thread to end; does nothing when it is not running.
void platform_thread_join(PlatformThread* thread);

// A lock and a condition to wait on under it.
struct PlatformLock {
  pthread_mutex_t mutex;
  pthread_cond_t changed;
};
void platform_lock_init(PlatformLock* lock);
void platform_lock_destroy(PlatformLock* lock);
void platform_lock(PlatformLock* lock);
void platform_unlock(PlatformLock* lock);
// Waits (the lock held) until another thread calls platform_lock_notify.
void platform_lock_wait(PlatformLock* lock);
// Wakes every thread waiting on the lock's condition (the lock held).
void platform_lock_notify(PlatformLock* lock);

// A thread that runs tasks posted to it, one at a time: post, then wait for
// it to be done. The poster does its own share of the work in between.
typedef void (*HelperTask)(void* arg);
struct PlatformHelper {
  PlatformThread thread;
  PlatformLock lock;
  HelperTask task;   // the posted task, null when there is none
  void* arg;
  int32_t posted;    // tasks posted so far
  int32_t done;      // tasks finished so far
  int32_t stopping;  // 1: the thread ends once it sees it
};
// Starts the helper's thread. Returns 0, or 1 when it could not be started.
int platform_helper_start(PlatformHelper* helper);
// Hands `task(arg)` to the helper (the previous one must be waited for).
void platform_helper_post(PlatformHelper* helper, HelperTask task, void* arg);
// Waits until the posted task has run.
void platform_helper_wait(PlatformHelper* helper);
// Ends the helper's thread and joins it; does nothing when it was not started.
void platform_helper_stop(PlatformHelper* helper);
