#include "ui/ProgressDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/LastMessage.h"
#include "processing/ProcessingTask.h"
#include "processing/WorkerThread.h"
#include "ui/MessagePrompt.h"
#include "ui/ResText.h"

// The dialog's side of the task's sink; every method runs on the worker thread.
class CProgressDialog::Sink : public CProgressSink {
  public:
    explicit Sink(CProgressDialog* dialog) : m_dialog(dialog) {}

    void ShowMessage(const std::string& text) override {
        const QString message = QString::fromStdString(text);
        CProgressDialog* dialog = m_dialog;
        QMetaObject::invokeMethod(
            dialog, [dialog, message] { ShowPlainMessage(dialog, message, QString()); },
            Qt::BlockingQueuedConnection);
    }
    void SetProgress(int percent) override {
        Post([percent](Pending& p) { p.progress = percent; });
    }
    void SetTitle(const std::string& text) override {
        const QString title = QString::fromStdString(text);
        Post([title](Pending& p) { p.title = title; });
    }
    void SetStatus(const std::string& text) override {
        const QString status = QString::fromStdString(text);
        Post([status](Pending& p) { p.status = status; });
    }
    void Close() override {
        CProgressDialog* dialog = m_dialog;
        QMetaObject::invokeMethod(
            dialog,
            [dialog] {
                dialog->Flush();
                dialog->m_closed = true;
            },
            Qt::QueuedConnection);
    }
    bool IsStopped() override { return m_dialog->m_stopped.load(); }
    void EnableStop(bool enable) override {
        m_dialog->m_stopEnabled = enable;
        CProgressDialog* dialog = m_dialog;
        QMetaObject::invokeMethod(
            dialog, [dialog] { dialog->m_stop->setEnabled(dialog->m_stopEnabled.load()); },
            Qt::QueuedConnection);
    }

  private:
    // Records the report and posts one flush unless one is already on its way.
    template <class Change>
    void Post(Change change) {
        bool post = false;
        {
            std::lock_guard<std::mutex> lock(m_dialog->m_mutex);
            change(m_dialog->m_pending);
            post = !m_dialog->m_pending.posted;
            m_dialog->m_pending.posted = true;
        }
        if (post) {
            CProgressDialog* dialog = m_dialog;
            QMetaObject::invokeMethod(
                dialog, [dialog] { dialog->Flush(); }, Qt::QueuedConnection);
        }
    }

    CProgressDialog* m_dialog;
};

CProgressDialog::CProgressDialog(CProcessingTask* task, QWidget* parent)
    : QDialog(parent),
      m_task(task),
      m_status(new QLabel(this)),
      m_bar(new QProgressBar(this)),
      m_stop(new QPushButton(ResText(IDS_STOP), this)) {
    setWindowTitle(ResText(IDS_PROGRESS_CAPTION));
    setModal(true);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setMinimumWidth(320);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_stop->setDefault(true);
    connect(m_stop, &QPushButton::clicked, this, &CProgressDialog::RequestStop);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    layout->addWidget(m_stop, 0, Qt::AlignHCenter);
}

CProgressDialog::~CProgressDialog() = default;

int CProgressDialog::ShownProgress(int percent) {
    return percent >= 99 ? 99 : (percent < 1 ? 0 : percent);
}

bool CProgressDialog::RunTask(CProcessingTask& task, QWidget* parent, CProgressDialog*& shown) {
    CProgressDialog dialog(&task, parent);
    shown = &dialog;
    const bool ran = dialog.RunModal();
    shown = nullptr;
    return ran;
}

bool CProgressDialog::RunModal() {
    m_sink = std::make_unique<Sink>(this);
    m_task->AttachSink(m_sink.get());
    show();
    CPWorkerThread worker(m_task);
    if (!worker.Start()) {
        // Never run the task here instead: its blocking sink calls would wait for this thread.
        m_task->AttachSink(nullptr);
        hide();
        SetLastMessage(IDS_WORKER_FAILED);
        ShowPlainMessage(parentWidget(), QString::fromStdString(GetLastMessage()),
                         ResText(IDS_APP_TITLE));
        return false;
    }
    // A loop of our own rather than exec(): an application quit ends every running event loop,
    // and this one must not end before the task has closed the dialog.
    while (!m_closed)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    worker.Join();
    m_task->AttachSink(nullptr);
    hide();
    return true;
}

void CProgressDialog::RequestStop() {
    if (m_stopEnabled.load())
        m_stopped = true;
}

void CProgressDialog::reject() {
    // Escape: Stop while the task runs (the dialog closes only when the task closes it).
    if (!m_closed)
        RequestStop();
}

void CProgressDialog::closeEvent(QCloseEvent* event) {
    if (!m_closed) {
        RequestStop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CProgressDialog::Flush() {
    Pending pending;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pending = m_pending;
        m_pending = Pending();
    }
    if (pending.title)
        setWindowTitle(*pending.title);
    if (pending.status)
        m_status->setText(*pending.status);
    if (pending.progress)
        m_bar->setValue(ShownProgress(*pending.progress));
}
