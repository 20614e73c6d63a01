// Runs one task's Run once on a thread of its own. Created and joined by the thread that shows
// the task's progress; the task must outlive the worker.
#pragma once

#include <thread>

class CProcessingTask;

class CPWorkerThread {
  public:
    // Borrows the task.
    explicit CPWorkerThread(CProcessingTask* task);
    // Joins the thread if it is still running.
    ~CPWorkerThread();

    CPWorkerThread(const CPWorkerThread&) = delete;
    CPWorkerThread& operator=(const CPWorkerThread&) = delete;

    // Starts the thread, which calls the task's Run once and ends. False when the thread could
    // not be created or was already started.
    bool Start();
    // Waits for the thread to end. Harmless when it was never started.
    void Join();
    bool Joinable() const { return m_thread.joinable(); }

  private:
    CProcessingTask* m_task;
    std::thread m_thread;
    bool m_started = false;
};
