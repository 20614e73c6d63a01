// The start-up picture: a borderless window centred on the screen that closes after 4 seconds or
// at the first key or mouse-button press anywhere in the application, which it swallows (an
// application-wide event filter). Closing calls the callback given at creation once. One at a
// time; user-interface thread only.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

class CSplashWnd : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kTimeoutMs = 4000;

    // onClosed runs once, after the window has gone.
    explicit CSplashWnd(std::function<void()> onClosed);
    ~CSplashWnd() override;

    // Shows the window and starts the timer.
    void ShowSplash();
    // Closes the window (timer, press, or the program) and calls the callback; once.
    void HideSplash();
    bool IsShown() const { return m_shown; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<void()> m_onClosed;
    QPixmap m_picture;
    QTimer m_timer;
    bool m_shown = false;
};
