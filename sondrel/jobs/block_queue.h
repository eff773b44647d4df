// A source run on a thread of its own: it makes blocks ahead of the job's
// run loop and hands them over through a bounded queue of copies, so that
// decoding goes on while the run loop routes, converts and writes. What the
// source prints while it makes a block is held with that block and printed
// by the run loop when it takes it, so the console shows the same text in
// the same order as when one thread does everything.
#pragma once
#include <cstdint>

#include "jobs/block_source.h"
#include "platform/console_output.h"
#include "platform/threads.h"

// Blocks the source may run ahead of the run loop. Each side hands blocks
// over and back in batches, under the lock once per batch, and a waiting
// side is woken once per batch: a wake-up costs more than a block.
constexpr int32_t BLOCK_QUEUE_SLOTS = 128;
constexpr int32_t BLOCK_QUEUE_BATCH = 32;

// One block handed over, with what went with it.
struct QueuedBlock {
  int32_t status;     // the source's SourceStatus for this block
  Block block;        // planes point into the slot's own samples
  int64_t done;       // the source's progress count once the block was made
  ConsoleHold held;   // what the source printed while making it
  float* samples;     // the slot's samples: channels x max_block_frames
};

struct BlockQueue {
  BlockSource* source;
  int32_t channels;          // channels of every block
  PlatformThread thread;
  PlatformLock lock;
  QueuedBlock slot[BLOCK_QUEUE_SLOTS];
  int64_t made;              // blocks handed to the run loop so far (under the lock)
  int64_t taken;             // blocks the run loop handed back (under the lock)
  int64_t next_taken;        // run loop only: the block it takes next
  int64_t known_made;        // run loop only: `made` when it last looked
  int32_t stopping;          // 1: the source's thread ends at its next block (under the lock)
  int32_t maker_waits;       // 1 while the source's thread waits for a free slot (under the lock)
  int32_t taker_waits;       // 1 while the run loop waits for a block (under the lock)
  float* storage;            // every slot's samples
};

// Whether a source may run on a thread of its own for a job of this many
// channels: it makes planes of singles and its text can be held.
bool block_queue_fits(const BlockSource* source, int32_t channels);

// Starts the source's thread. Returns 0, or 1 (nothing started) when memory
// or the thread could not be had: the caller then runs the source itself.
int block_queue_start(BlockQueue* queue, BlockSource* source, int32_t channels);

// The next block from the queue (waits for it); its text has been printed.
// Valid until block_queue_done.
const QueuedBlock* block_queue_next(BlockQueue* queue);
// The run loop is done with the block block_queue_next gave.
void block_queue_done(BlockQueue* queue);

// Ends the source's thread (after the block it is making) and joins it;
// blocks made but not taken are dropped. Releases the queue's memory.
void block_queue_stop(BlockQueue* queue);
