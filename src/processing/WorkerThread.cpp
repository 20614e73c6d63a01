#include "processing/WorkerThread.h"

#include <system_error>

#include "processing/ProcessingTask.h"

CPWorkerThread::CPWorkerThread(CProcessingTask* task) : m_task(task) {}

CPWorkerThread::~CPWorkerThread() {
    Join();
}

bool CPWorkerThread::Start() {
    if (m_started || m_task == nullptr) {
        return false;
    }
    try {
        m_thread = std::thread([task = m_task] { task->Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    m_started = true;
    return true;
}

void CPWorkerThread::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}
