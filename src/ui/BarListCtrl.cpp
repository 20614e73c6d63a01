#include "ui/BarListCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>

#include "base/PathRules.h"
#include "res/StringTable.h"
#include "ui/ResText.h"
#include "ui/SiteTreeCtrl.h"

namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kValueRole = Qt::UserRole + 1;

}  // namespace

// Draws a line: background, icon, name column, then the bar and its percentage.
class CBarListCtrl::Delegate : public QStyledItemDelegate {
  public:
    explicit Delegate(CBarListCtrl* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        return QSize(size.width(), std::max(size.height(), 18));
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QRect r = option.rect;
        const QPalette& pal = option.palette;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        painter->save();
        painter->fillRect(r, pal.color(QPalette::Base));

        const QPixmap icon =
            CSiteTreeCtrl::ImageIcon(selected ? CSiteTreeCtrl::kPageSelected : CSiteTreeCtrl::kPage)
                .pixmap(16, 16);
        painter->drawPixmap(r.left(), r.top() + (r.height() - 16) / 2, icon);

        const int textLeft = r.left() + 18;
        const int columnEnd = static_cast<int>(0.6 * r.right() + 0.4 * r.left()) - 2;
        const QRect text(textLeft, r.top(), std::max(columnEnd - textLeft, 0), r.height());
        if (selected)
            painter->fillRect(text, pal.color(QPalette::Highlight));
        painter->setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(text.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                          option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight,
                                                        text.width() - 2));

        const double ratio = index.data(kValueRole).toDouble() / m_list->BarScale();
        if (ratio >= 0.01) {
            const int barLeft = columnEnd + 22;
            const int width = static_cast<int>(ratio * std::max(r.right() - barLeft - 30, 0));
            const QRect bar(barLeft, r.top() + 3, width, r.height() - 6);
            painter->setPen(Qt::black);
            painter->setBrush(QColor(255, 0, 255));
            painter->drawRect(bar);
            const int percent = static_cast<int>(std::lround(ratio * 100));
            if (percent > 0) {
                painter->setPen(pal.color(QPalette::Text));
                painter->drawText(
                    QRect(bar.right() + 5, r.top(), 60, r.height()),
                    Qt::AlignVCenter | Qt::AlignLeft,
                    QString::fromStdString(FormatString(IDS_BAR_PERCENT, percent, "%")));
            }
        }
        painter->restore();
    }

  private:
    CBarListCtrl* m_list;
};

CBarListCtrl::CBarListCtrl(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new Delegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setUniformItemSizes(true);
}

void CBarListCtrl::AddLine(const std::string& pageName, double value) {
    std::string shown = pageName;
    NormalizePath(shown, false, false);
    auto* item = new QListWidgetItem(QString::fromUtf8(ShownText(shown)), this);
    item->setData(kNameRole, QByteArray::fromStdString(pageName));
    item->setData(kValueRole, value);
}

std::string CBarListCtrl::PageNameAt(int row) const {
    const QListWidgetItem* line = item(row);
    return line == nullptr ? std::string() : line->data(kNameRole).toByteArray().toStdString();
}

double CBarListCtrl::ValueAt(int row) const {
    const QListWidgetItem* line = item(row);
    return line == nullptr ? 0.0 : line->data(kValueRole).toDouble();
}

void CBarListCtrl::SetBarScale(double scale) {
    m_scale = scale > 0.0 ? scale : 1.0;
    viewport()->update();
}

void CBarListCtrl::SetReorderable(bool on) {
    m_reorderable = on;
    m_dragRow = -1;
}

void CBarListCtrl::mousePressEvent(QMouseEvent* event) {
    QListWidget::mousePressEvent(event);
    m_dragRow = m_reorderable && event->button() == Qt::LeftButton
                    ? indexAt(event->position().toPoint()).row()
                    : -1;
}

void CBarListCtrl::mouseMoveEvent(QMouseEvent* event) {
    // The line follows the drag only when it is dropped; the pointer shows that one is held.
    if (m_dragRow >= 0) {
        viewport()->setCursor(Qt::ClosedHandCursor);
        return;
    }
    QListWidget::mouseMoveEvent(event);
}

void CBarListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const int from = m_dragRow;
    m_dragRow = -1;
    viewport()->unsetCursor();
    QListWidget::mouseReleaseEvent(event);
    if (from < 0 || event->button() != Qt::LeftButton)
        return;
    const QModelIndex at = indexAt(event->position().toPoint());
    const int to = at.isValid() ? at.row() : count() - 1;
    if (to == from || to < 0)
        return;
    QListWidgetItem* line = takeItem(from);
    insertItem(to, line);
    setCurrentItem(line);
    emit orderChanged();
}
