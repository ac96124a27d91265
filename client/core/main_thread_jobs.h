// Work that worker threads hand to the main thread: message boxes, the USB status icon.
// Any thread may call; the jobs run on the main thread in the order they were handed over.
//
// A job passes under our own lock and the main thread is woken by a queued call that carries
// no data. The order between what the worker wrote and what the main thread reads is then a
// lock of ours, which a race detector follows, rather than the toolkit's internal event queue
// and semaphore, which it cannot see into.
#pragma once

#include <functional>

namespace tamovox {

// Runs job on the main thread later and returns at once. On the main thread itself, or
// without an application object, the job runs here and now.
void postToMainThread(std::function<void()> job);

// Runs job on the main thread and returns once it has run; the caller waits for it.
void runOnMainThread(std::function<void()> job);

}  // namespace tamovox
