#include "pipeline/SoftWorkerPool.h"

#include <algorithm>
#include <chrono>

SoftWorkerPool::SoftWorkerPool(UINT threads)
    : mr_WorkerCount(threads),
      mr_Task_(nullptr),
      mr_Context_(nullptr),
      mr_TaskCount(0),
      mr_NextTask(0),
      mr_Running(0),
      mr_Generation(0),
      mr_Stop(false),
      mr_StartFailed(false) {
    if (mr_WorkerCount == 0) mr_WorkerCount = std::max(1u, std::thread::hardware_concurrency());
    mr_WorkerCount = std::min(mr_WorkerCount, 16u);
}

SoftWorkerPool::~SoftWorkerPool() {
    {
        std::lock_guard<std::mutex> lr_Lock(mr_Mutex);
        mr_Stop = true;
    }
    mr_Wake.notify_all();
    for (std::thread& lr_Thread : mr_Threads) lr_Thread.join();
}

bool SoftWorkerPool::Start() noexcept {
    // A thread that cannot start (no memory, no more threads) is not an
    // error of the draw: the caller does its tasks, and the next attempt is
    // made a while later. The threads that did start are kept.
    const auto lr_Now = std::chrono::steady_clock::now() + mr_ClockAdvance;
    if (mr_StartFailed && lr_Now - mr_LastStartFailure < std::chrono::seconds(1)) return false;
    mr_StartFailed = false;
    try {
        mr_Threads.reserve(mr_WorkerCount - 1);
        for (UINT i = static_cast<UINT>(mr_Threads.size()) + 1; i < mr_WorkerCount; ++i)
            mr_Threads.emplace_back(&SoftWorkerPool::Loop, this, i);
    } catch (...) {
        mr_StartFailed = true;
        mr_LastStartFailure = lr_Now;
    }
    return !mr_StartFailed;
}

void SoftWorkerPool::Work(UINT worker) {
    for (;;) {
        UINT lr_Task = mr_NextTask.fetch_add(1, std::memory_order_relaxed);
        if (lr_Task >= mr_TaskCount) return;
        mr_Task_(mr_Context_, lr_Task, worker);
    }
}

void SoftWorkerPool::Loop(UINT worker) {
    unsigned long lr_Seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lr_Lock(mr_Mutex);
            mr_Wake.wait(lr_Lock, [&] { return mr_Stop || mr_Generation != lr_Seen; });
            if (mr_Stop) return;
            lr_Seen = mr_Generation;
        }
        Work(worker);
        {
            std::lock_guard<std::mutex> lr_Lock(mr_Mutex);
            if (--mr_Running == 0) mr_Done.notify_one();
        }
    }
}

void SoftWorkerPool::Run(UINT taskCount, TaskFunction task, void* context) {
    if (taskCount == 0) return;
    if (taskCount == 1 || mr_WorkerCount == 1) {
        for (UINT i = 0; i < taskCount; ++i) task(context, i, 0);
        return;
    }
    if (mr_Threads.size() + 1 < mr_WorkerCount) Start();
    if (mr_Threads.empty()) {
        for (UINT i = 0; i < taskCount; ++i) task(context, i, 0);
        return;
    }
    {
        std::lock_guard<std::mutex> lr_Lock(mr_Mutex);
        mr_Task_ = task;
        mr_Context_ = context;
        mr_TaskCount = taskCount;
        mr_NextTask.store(0, std::memory_order_relaxed);
        mr_Running = static_cast<UINT>(mr_Threads.size());
        ++mr_Generation;
    }
    mr_Wake.notify_all();
    Work(0);
    // Every thread must have left the job before its context goes away.
    std::unique_lock<std::mutex> lr_Lock(mr_Mutex);
    mr_Done.wait(lr_Lock, [&] { return mr_Running == 0; });
}
