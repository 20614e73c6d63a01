// The modal progress dialog of a processing task: it attaches its sink to the task, runs the task
// on a worker thread and shows what the task reports (caption, status line, a bar from 0 to 99)
// until the task closes it. Every sink call from the worker reaches the widgets as a queued call
// on the user-interface thread (status and progress coalesced); ShowMessage blocks the worker
// until its box is closed; Close does not wait. Stop, Escape and the close box set the stop flag
// while the worker allows stopping and are ignored otherwise. Created, run and destroyed on the
// user-interface thread; never reused.
#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class CProcessingTask;
class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDialog : public QDialog {
    Q_OBJECT

  public:
    // task: borrowed; it must outlive the dialog.
    CProgressDialog(CProcessingTask* task, QWidget* parent = nullptr);
    ~CProgressDialog() override;

    // Shows the dialog modally and runs the task on a worker thread; returns only after the task
    // has closed the dialog and the worker has ended, whatever happens to the event loops
    // meanwhile. False when no worker thread could be started: the task did not run, and the
    // reason was shown and left as the last message.
    bool RunModal();
    // Runs the task under a dialog of its own (RunModal), with shown pointing at that dialog while
    // it runs, so that the end of the program can stop it, and null again afterwards.
    static bool RunTask(CProcessingTask& task, QWidget* parent, CProgressDialog*& shown);

    // Stop pressed: sets the stop flag when stopping is enabled; nothing otherwise.
    void RequestStop();
    bool IsStopped() const { return m_stopped.load(); }

    QLabel* StatusLine() const { return m_status; }
    QProgressBar* Bar() const { return m_bar; }
    QPushButton* StopButton() const { return m_stop; }

    // The value the bar shows for a reported percentage: 0 to 99.
    static int ShownProgress(int percent);

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    class Sink;
    struct Pending {
        std::optional<QString> title;
        std::optional<QString> status;
        std::optional<int> progress;
        bool posted = false;
    };

    // Applies what the worker reported since the last call (user-interface thread).
    void Flush();

    CProcessingTask* m_task;
    std::unique_ptr<Sink> m_sink;
    QLabel* m_status;
    QProgressBar* m_bar;
    QPushButton* m_stop;
    std::atomic<bool> m_stopped{false};
    // The worker's word on whether Stop may act (the button's look follows it).
    std::atomic<bool> m_stopEnabled{true};
    bool m_closed = false;
    std::mutex m_mutex;
    Pending m_pending;
};
