// A small set of threads that run the tasks of one job at a time; the
// calling thread works too. Threads start on the first job that has more
// than one task and live until the pool is destroyed; when none can be
// started, the caller does every task and a start is tried again later. A job allocates
// nothing: it is a plain function pointer, a context and a task count.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class SoftWorkerPool {
public:
    // `task` in [0, taskCount); `worker` in [0, WorkerCount()), 0 for the caller.
    using TaskFunction = void (*)(void* context, UINT task, UINT worker);

    // `threads` counts the caller; 0 takes the machine's hardware threads.
    explicit SoftWorkerPool(UINT threads = 0);
    ~SoftWorkerPool();
    SoftWorkerPool(const SoftWorkerPool&) = delete;
    SoftWorkerPool& operator=(const SoftWorkerPool&) = delete;

    UINT WorkerCount() const { return mr_WorkerCount; }
    // Runs every task once and returns when all have finished.
    void Run(UINT taskCount, TaskFunction task, void* context);
    // How far the retry window's clock runs ahead of the steady clock, so
    // that tests move past the window instead of sleeping through it.
    void SetClockAdvance(std::chrono::milliseconds advance) { mr_ClockAdvance = advance; }

private:
    // False while no thread could be started lately.
    bool Start() noexcept;
    void Loop(UINT worker);
    void Work(UINT worker);

    UINT mr_WorkerCount;
    std::vector<std::thread> mr_Threads;
    std::mutex mr_Mutex;
    std::condition_variable mr_Wake;
    std::condition_variable mr_Done;
    TaskFunction mr_Task_;
    void* mr_Context_;
    UINT mr_TaskCount;
    std::atomic<UINT> mr_NextTask;
    UINT mr_Running;  // threads (not the caller) still in the current job
    unsigned long mr_Generation;
    bool mr_Stop;
    bool mr_StartFailed;
    std::chrono::steady_clock::time_point mr_LastStartFailure;
    std::chrono::milliseconds mr_ClockAdvance{0};
};
