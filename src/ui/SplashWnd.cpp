#include "ui/SplashWnd.h"

#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

CSplashWnd::CSplashWnd(std::function<void()> onClosed)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_onClosed(std::move(onClosed)),
      m_picture(QIcon(":/images/splash.svg").pixmap(QSize(420, 260))) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCursor(Qt::ArrowCursor);
    setFixedSize(m_picture.deviceIndependentSize().toSize());
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CSplashWnd::HideSplash);
}

CSplashWnd::~CSplashWnd() {
    qApp->removeEventFilter(this);
}

void CSplashWnd::ShowSplash() {
    if (m_shown)
        return;
    m_shown = true;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    qApp->installEventFilter(this);
    show();
    m_timer.start(kTimeoutMs);
}

void CSplashWnd::HideSplash() {
    if (!m_shown)
        return;
    m_shown = false;
    m_timer.stop();
    qApp->removeEventFilter(this);
    hide();
    if (m_onClosed) {
        auto onClosed = std::move(m_onClosed);
        m_onClosed = nullptr;
        onClosed();
    }
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick: {
            if (event->type() == QEvent::ShortcutOverride)
                return true;  // keeps a shortcut from acting on the key that closes the picture
            if (auto* mouse = dynamic_cast<QMouseEvent*>(event);
                mouse != nullptr &&
                !(mouse->button() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton))) {
                break;
            }
            HideSplash();
            return true;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawPixmap(0, 0, m_picture);
}
