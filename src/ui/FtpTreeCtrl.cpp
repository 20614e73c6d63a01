#include "ui/FtpTreeCtrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QStyle>
#include <vector>

#include "site/FtpSiteAccess.h"
#include "ui/BackgroundWork.h"
#include "ui/ResText.h"

namespace {

QIcon ImageIcon(int image) {
    QStyle* style = QApplication::style();
    switch (image) {
        case CFtpTreeCtrl::kImageDirectory:
            return style->standardIcon(QStyle::SP_DirIcon);
        case CFtpTreeCtrl::kImageFile:
            return style->standardIcon(QStyle::SP_FileIcon);
        default:
            return style->standardIcon(QStyle::SP_MessageBoxInformation);
    }
}

}  // namespace

CFtpTreeCtrl::CFtpTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    connect(this, &QTreeWidget::itemExpanded, this, &CFtpTreeCtrl::Expanding);
}

QTreeWidgetItem* CFtpTreeCtrl::AddItem(QTreeWidgetItem* parent, const QString& text, Image image) {
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, text);
    item->setIcon(0, ImageIcon(image));
    item->setData(0, kImageRole, static_cast<int>(image));
    return item;
}

QString CFtpTreeCtrl::ItemPath(const QTreeWidgetItem* item) {
    if (item == nullptr || item->parent() == nullptr)
        return QStringLiteral("/");
    const QString parent = ItemPath(item->parent());
    return (parent == QLatin1String("/") ? parent : parent + QLatin1Char('/')) + item->text(0);
}

void CFtpTreeCtrl::Populate(CFtpSiteAccess* connection, const QString& initialPath) {
    m_connection = connection;
    clear();
    if (connection == nullptr) {
        AddItem(nullptr, ResText(IDS_FTP_NOT_CONNECTED), kImageMessage);
        setRootIsDecorated(false);
        return;
    }
    QTreeWidgetItem* root = AddItem(nullptr, QStringLiteral("/"), kImageDirectory);
    AddItem(root, QStringLiteral("/"), kImageDirectory);  // placeholder: listed on expanding
    root->setExpanded(true);
    setRootIsDecorated(root->childCount() > 0);

    QTreeWidgetItem* current = root;
    for (const QString& part : initialPath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QTreeWidgetItem* match = nullptr;
        for (int i = 0; i < current->childCount() && match == nullptr; ++i) {
            if (current->child(i)->text(0) == part)
                match = current->child(i);
        }
        if (match == nullptr)
            break;
        match->setExpanded(true);
        if (match->childCount() == 0) {
            setCurrentItem(match);
            QFont bold = match->font(0);
            bold.setBold(true);
            match->setFont(0, bold);
            break;
        }
        current = match;
    }
}

void CFtpTreeCtrl::Expanding(QTreeWidgetItem* item) {
    if (m_connection == nullptr)
        return;
    const std::string path = ItemPath(item).toStdString();
    std::vector<CFtpSiteAccess::SListEntry> entries;
    std::vector<bool> hasEntries;
    RunWithWaitCursor([&] {
        if (!m_connection->ListDirectory(path, entries))
            entries.clear();
        // A directory with entries gets an expand button before it is listed itself.
        const std::string prefix = path == "/" ? path : path + "/";
        std::vector<CFtpSiteAccess::SListEntry> inner;
        for (const auto& entry : entries) {
            hasEntries.push_back(entry.isDirectory &&
                                 m_connection->ListDirectory(prefix + entry.name, inner) &&
                                 !inner.empty());
        }
    });
    qDeleteAll(item->takeChildren());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QTreeWidgetItem* child = AddItem(item, QString::fromStdString(entries[i].name),
                                         entries[i].isDirectory ? kImageDirectory : kImageFile);
        if (hasEntries[i])
            AddItem(child, QStringLiteral("1"), kImageDirectory);
    }
}
