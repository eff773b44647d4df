// Threads of our own over POSIX threads: the affinity mask's CPU count, a
// joinable thread, a lock with a condition, and a one-task helper thread.
#include "platform/threads.h"

#include <sched.h>
#include <signal.h>

#include <cstring>

int32_t platform_usable_cpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int32_t count = CPU_COUNT(&set);
  return count > 0 ? count : 1;
}

int platform_thread_start(PlatformThread* thread, void* (*run)(void*), void* arg) {
  thread->running = 0;
  // The new thread starts with every signal blocked, so that Ctrl-C, Ctrl-Z
  // and the rest reach the main thread alone: its handlers and its
  // interrupted console reads stay as they are without threads.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  const int failed = pthread_create(&thread->id, nullptr, run, arg);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (failed) return 1;
  thread->running = 1;
  return 0;
}

void platform_thread_join(PlatformThread* thread) {
  if (!thread->running) return;
  pthread_join(thread->id, nullptr);
  thread->running = 0;
}

void platform_lock_init(PlatformLock* lock) {
  pthread_mutex_init(&lock->mutex, nullptr);
  pthread_cond_init(&lock->changed, nullptr);
}

void platform_lock_destroy(PlatformLock* lock) {
  pthread_cond_destroy(&lock->changed);
  pthread_mutex_destroy(&lock->mutex);
}

void platform_lock(PlatformLock* lock) { pthread_mutex_lock(&lock->mutex); }
void platform_unlock(PlatformLock* lock) { pthread_mutex_unlock(&lock->mutex); }
void platform_lock_wait(PlatformLock* lock) { pthread_cond_wait(&lock->changed, &lock->mutex); }
void platform_lock_notify(PlatformLock* lock) { pthread_cond_broadcast(&lock->changed); }

namespace {

// The helper's loop: wait for a task or the stop, run the task outside the
// lock, say it is done.
void* helper_loop(void* arg) {
  PlatformHelper* h = static_cast<PlatformHelper*>(arg);
  platform_lock(&h->lock);
  for (;;) {
    while (!h->stopping && h->done == h->posted) platform_lock_wait(&h->lock);
    if (h->done == h->posted) break;  // stopping, nothing left to run
    const HelperTask task = h->task;
    void* task_arg = h->arg;
    platform_unlock(&h->lock);
    task(task_arg);
    platform_lock(&h->lock);
    h->done += 1;
    platform_lock_notify(&h->lock);
  }
  platform_unlock(&h->lock);
  return nullptr;
}

}  // namespace

int platform_helper_start(PlatformHelper* h) {
  std::memset(h, 0, sizeof *h);
  platform_lock_init(&h->lock);
  if (platform_thread_start(&h->thread, helper_loop, h)) {
    platform_lock_destroy(&h->lock);
    return 1;
  }
  return 0;
}

void platform_helper_post(PlatformHelper* h, HelperTask task, void* arg) {
  platform_lock(&h->lock);
  h->task = task;
  h->arg = arg;
  h->posted += 1;
  platform_lock_notify(&h->lock);
  platform_unlock(&h->lock);
}

void platform_helper_wait(PlatformHelper* h) {
  platform_lock(&h->lock);
  while (h->done != h->posted) platform_lock_wait(&h->lock);
  platform_unlock(&h->lock);
}

void platform_helper_stop(PlatformHelper* h) {
  if (!h->thread.running) return;
  platform_lock(&h->lock);
  h->stopping = 1;
  platform_lock_notify(&h->lock);
  platform_unlock(&h->lock);
  platform_thread_join(&h->thread);
  platform_lock_destroy(&h->lock);
}
