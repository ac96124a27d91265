// Jobs a worker hands to the main thread: they run there, in the order handed over, and a worker
// that waits gets control back only once its job has run.
#include "core/main_thread_jobs.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tamovox {
namespace {

TEST(MainThreadJobs, RunOnTheMainThreadInOrderAndTheWaiterReturnsAfterItsJob)
{
    const std::thread::id mainThread = std::this_thread::get_id();
    std::vector<int> order;  // written by the jobs only
    bool allOnMain = true;
    bool waitedJobRan = false;
    bool workerSawItRun = false;
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        auto job = [&](int n) {
            return [&, n] {
                allOnMain = allOnMain && std::this_thread::get_id() == mainThread;
                order.push_back(n);
            };
        };
        postToMainThread(job(1));
        postToMainThread(job(2));
        runOnMainThread([&] {
            job(3)();
            waitedJobRan = true;
        });
        workerSawItRun = waitedJobRan;  // ordered by the hand-off itself
        postToMainThread(job(4));
        workerDone = true;
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((!workerDone || order.size() < 4) && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(workerSawItRun) << "runOnMainThread returned before its job ran";
}

}  // namespace
}  // namespace tamovox
