// The source's thread and the bounded queue between it and the run loop.
#include "jobs/block_queue.h"

#include <cstdlib>
#include <cstring>

namespace {

// Copies the block's planes into the slot's samples.
void keep_block(QueuedBlock* q, const Block* b, int32_t channels, int32_t max_frames) {
  q->block = *b;
  if (b->frames <= 0) return;
  for (int32_t c = 0; c < channels; ++c) {
    float* dst = q->samples + static_cast<int64_t>(c) * max_frames;
    std::memcpy(dst, b->planes[c], sizeof(float) * static_cast<size_t>(b->frames));
    q->block.planes[c] = dst;
  }
}

// Hands `count` made blocks to the run loop (waking it when it waits), and
// returns the slots free for the next ones (0 once the run loop said stop,
// so that the thread looks at it before the next block).
int64_t publish(BlockQueue* queue, int64_t count) {
  platform_lock(&queue->lock);
  queue->made += count;
  if (queue->taker_waits) platform_lock_notify(&queue->lock);
  const int64_t free_slots =
      queue->stopping ? 0 : BLOCK_QUEUE_SLOTS - (queue->made - queue->taken);
  platform_unlock(&queue->lock);
  return free_slots;
}

// The source's thread: make blocks into the free slots, handing them over
// a batch at a time, until the input ends or fails or the run loop says stop.
void* make_blocks(void* arg) {
  BlockQueue* queue = static_cast<BlockQueue*>(arg);
  BlockSource* source = queue->source;
  int64_t free_slots = 0, unpublished = 0;
  for (;;) {
    if (free_slots == 0) {
      platform_lock(&queue->lock);
      queue->made += unpublished;
      unpublished = 0;
      if (queue->taker_waits) platform_lock_notify(&queue->lock);
      while (!queue->stopping && queue->made - queue->taken == BLOCK_QUEUE_SLOTS) {
        queue->maker_waits = 1;
        platform_lock_wait(&queue->lock);
      }
      queue->maker_waits = 0;
      const bool stop = queue->stopping != 0;
      free_slots = BLOCK_QUEUE_SLOTS - (queue->made - queue->taken);
      platform_unlock(&queue->lock);
      if (stop) break;
    }
    // Only this thread changes `made`.
    QueuedBlock* q = &queue->slot[(queue->made + unpublished) % BLOCK_QUEUE_SLOTS];
    Block block;
    std::memset(&block, 0, sizeof block);
    q->held.length = 0;
    platform_console_hold(&q->held);
    q->status = source->next(source, &block, nullptr, 0);
    platform_console_hold(nullptr);
    if (q->status == SOURCE_BLOCK) keep_block(q, &block, queue->channels, source->max_block_frames);
    q->done = source->done;
    unpublished += 1;
    free_slots -= 1;
    if (q->status != SOURCE_BLOCK) {
      publish(queue, unpublished);
      break;
    }
    if (unpublished == BLOCK_QUEUE_BATCH) {
      free_slots = publish(queue, unpublished);
      unpublished = 0;
    }
  }
  return nullptr;
}

}  // namespace

bool block_queue_fits(const BlockSource* source, int32_t channels) {
  return source->runs_apart && channels >= 1 && channels <= MAX_BLOCK_CHANNELS &&
         source->max_block_frames > 0 && platform_console_owned();
}

int block_queue_start(BlockQueue* queue, BlockSource* source, int32_t channels) {
  std::memset(queue, 0, sizeof *queue);
  queue->source = source;
  queue->channels = channels;
  const size_t per_slot = static_cast<size_t>(channels) * source->max_block_frames;
  queue->storage = static_cast<float*>(std::calloc(per_slot * BLOCK_QUEUE_SLOTS, sizeof(float)));
  if (!queue->storage) return 1;
  for (int32_t k = 0; k < BLOCK_QUEUE_SLOTS; ++k)
    queue->slot[k].samples = queue->storage + per_slot * k;
  platform_lock_init(&queue->lock);
  if (platform_thread_start(&queue->thread, make_blocks, queue)) {
    platform_lock_destroy(&queue->lock);
    std::free(queue->storage);
    queue->storage = nullptr;
    return 1;
  }
  return 0;
}

const QueuedBlock* block_queue_next(BlockQueue* queue) {
  if (queue->next_taken == queue->known_made) {
    // The blocks handed over are used up: give their slots back and wait
    // for the next batch.
    platform_lock(&queue->lock);
    queue->taken = queue->next_taken;
    if (queue->maker_waits) platform_lock_notify(&queue->lock);
    while (queue->made == queue->taken) {
      queue->taker_waits = 1;
      platform_lock_wait(&queue->lock);
    }
    queue->taker_waits = 0;
    queue->known_made = queue->made;
    platform_unlock(&queue->lock);
  }
  QueuedBlock* q = &queue->slot[queue->next_taken % BLOCK_QUEUE_SLOTS];
  platform_console_release(&q->held);
  return q;
}

void block_queue_done(BlockQueue* queue) { queue->next_taken += 1; }

void block_queue_stop(BlockQueue* queue) {
  if (!queue->thread.running) return;
  platform_lock(&queue->lock);
  queue->stopping = 1;
  platform_lock_notify(&queue->lock);
  platform_unlock(&queue->lock);
  platform_thread_join(&queue->thread);
  platform_lock_destroy(&queue->lock);
  std::free(queue->storage);
  queue->storage = nullptr;
}
