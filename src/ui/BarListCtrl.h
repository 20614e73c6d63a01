// A list of pages drawn with a bar per line: the page's icon, its name in a column, and the
// line's value against the list's scale as a bar with its percentage after it. When reordering is
// on, the user drags a line onto another to move it there, and the list reports the new order.
// Lines keep the raw page name, so that they refer to no page record. User-interface thread.
#pragma once

#include <QListWidget>
#include <string>

class CBarListCtrl : public QListWidget {
    Q_OBJECT

  public:
    explicit CBarListCtrl(QWidget* parent = nullptr);

    // Appends a line for the page name (shown without leading or trailing "/", control
    // characters escaped) with its value.
    void AddLine(const std::string& pageName, double value);
    std::string PageNameAt(int row) const;
    double ValueAt(int row) const;

    // The value that fills the whole bar (values are drawn as value / scale).
    void SetBarScale(double scale);
    double BarScale() const { return m_scale; }

    // Dragging a line moves it (and then orderChanged is emitted) only while this is on.
    void SetReorderable(bool on);

  signals:
    // A dragged line was dropped at a new position.
    void orderChanged();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    class Delegate;

    double m_scale = 1.0;
    bool m_reorderable = false;
    int m_dragRow = -1;
};
