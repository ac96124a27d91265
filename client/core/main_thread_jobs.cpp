#include "core/main_thread_jobs.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace tamovox {

namespace {

struct Job {
    std::function<void()> run;
    bool waited = false;  // a worker waits for it: the job lives on that worker's stack
    bool done = false;    // guarded by g_jobLock
};

std::mutex g_jobLock;  // guards g_jobs and Job::done
std::condition_variable g_jobDone;
std::deque<Job*> g_jobs;

// Lives on the main thread; a queued call to runJobs wakes it.
class JobRunner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void runJobs();
};

std::atomic<JobRunner*> g_runner{nullptr};

// Built while the application object is, on the main thread, so that it belongs to that thread
// and no worker ever touches the object itself.
void createJobRunner()
{
    g_runner.store(new JobRunner, std::memory_order_release);
}
Q_COREAPP_STARTUP_FUNCTION(createJobRunner)

void JobRunner::runJobs()
{
    for (;;) {
        Job* job = nullptr;
        {
            std::lock_guard lock(g_jobLock);
            if (g_jobs.empty())
                return;
            job = g_jobs.front();
            g_jobs.pop_front();
        }
        job->run();  // may open a modal loop, which runs later jobs itself
        if (!job->waited) {
            delete job;
            continue;
        }
        {
            std::lock_guard lock(g_jobLock);
            job->done = true;
        }
        g_jobDone.notify_all();
    }
}

// The runner, or null when the job has to run on the calling thread.
JobRunner* runnerFor()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return nullptr;
    return g_runner.load(std::memory_order_acquire);
}

void enqueue(JobRunner* runner, Job* job)
{
    {
        std::lock_guard lock(g_jobLock);
        g_jobs.push_back(job);
    }
    QMetaObject::invokeMethod(runner, "runJobs", Qt::QueuedConnection);
}

}  // namespace

void postToMainThread(std::function<void()> job)
{
    JobRunner* runner = runnerFor();
    if (!runner) {
        job();
        return;
    }
    enqueue(runner, new Job{std::move(job)});
}

void runOnMainThread(std::function<void()> job)
{
    JobRunner* runner = runnerFor();
    if (!runner) {
        job();
        return;
    }
    Job waiting{std::move(job), /*waited=*/true};
    enqueue(runner, &waiting);
    std::unique_lock lock(g_jobLock);
    g_jobDone.wait(lock, [&] { return waiting.done; });
}

}  // namespace tamovox

#include "main_thread_jobs.moc"
