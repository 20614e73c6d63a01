#include "ui/BackgroundWork.h"

#include <QApplication>
#include <QEventLoop>
#include <system_error>
#include <thread>

void RunWithWaitCursor(const std::function<void()>& work) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop loop;
    try {
        std::thread worker([&work, &loop] {
            work();
            // Queued: the loop quits from its own thread, also when it has not started yet.
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        worker.join();
    } catch (const std::system_error&) {
        work();
    }
    QApplication::restoreOverrideCursor();
}
