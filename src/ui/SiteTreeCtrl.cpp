#include "ui/SiteTreeCtrl.h"

#include <strings.h>
#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <unordered_set>
#include <vector>

#include "base/PathRules.h"
#include "res/StringTable.h"
#include "ui/PageGraph.h"

namespace {

constexpr int kNameRole = Qt::UserRole;        // the raw name (bytes) of the directory or page
constexpr int kFilledRole = Qt::UserRole + 1;  // 1 once the children were added
constexpr int kDirectoryRole = Qt::UserRole + 2;

std::string RawName(const QTreeWidgetItem* item) {
    return item->data(0, kNameRole).toByteArray().toStdString();
}

QIcon TwoStateIcon(int normal, int selected) {
    QIcon icon;
    const QIcon a = CSiteTreeCtrl::ImageIcon(normal);
    const QIcon b = CSiteTreeCtrl::ImageIcon(selected);
    icon.addPixmap(a.pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(b.pixmap(16, 16), QIcon::Selected);
    return icon;
}

}  // namespace

CSiteTreeCtrl::CSiteTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    connect(this, &QTreeWidget::itemExpanded, this, &CSiteTreeCtrl::FillItem);
}

QIcon CSiteTreeCtrl::ImageIcon(int image) {
    QStyle* style = QApplication::style();
    switch (image) {
        case kDirectoryOpen:
            return style->standardIcon(QStyle::SP_DirOpenIcon);
        case kDirectory:
            return style->standardIcon(QStyle::SP_DirClosedIcon);
        case kPageSelected:
            return style->standardIcon(QStyle::SP_FileLinkIcon);
        default:
            return style->standardIcon(QStyle::SP_FileIcon);
    }
}

void CSiteTreeCtrl::Fill(CSiteMap* map, const QString& rootLabel) {
    clear();
    m_map = map;
    auto* root = new QTreeWidgetItem(this, QStringList(rootLabel));
    root->setIcon(0, TwoStateIcon(kDirectory, kDirectoryOpen));
    root->setData(0, kFilledRole, 0);
    root->setData(0, kDirectoryRole, true);
    if (map != nullptr) {
        FillItem(root);
        root->setExpanded(true);
    }
}

std::string CSiteTreeCtrl::ItemPath(const QTreeWidgetItem* item) {
    std::vector<std::string> names;
    for (const QTreeWidgetItem* i = item; i != nullptr && i->parent() != nullptr; i = i->parent())
        names.push_back(RawName(i));
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        path += "/" + *it;
    return path;
}

bool CSiteTreeCtrl::IsDirectory(const QTreeWidgetItem* item) {
    return item->data(0, kDirectoryRole).toBool();
}

void CSiteTreeCtrl::FillItem(QTreeWidgetItem* item) {
    if (m_map == nullptr || item->data(0, kFilledRole).toInt() == 1 || !IsDirectory(item))
        return;
    const std::string prefix = ItemPath(item) + "/";
    std::vector<std::string> names;
    std::unordered_set<std::string> listed;  // the names already in names
    for (const auto& page : m_map->Pages()) {
        const std::string& url = page->Name;
        if (!StartsWithNoCase(url, prefix))
            continue;
        std::string rest = url.substr(prefix.size());
        const std::size_t slash = rest.find('/');
        if (slash != std::string::npos)
            rest.resize(slash + 1);  // a directory keeps its "/"
        if (rest.empty() || listed.count(rest) != 0)
            continue;
        if (!m_map->HasSize(page.get()))  // only files that exist and hold something
            continue;
        listed.insert(rest);
        names.push_back(std::move(rest));
    }
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const bool da = a.back() == '/';
        const bool db = b.back() == '/';
        if (da != db)
            return da;
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    });
    for (std::string& name : names) {
        const bool directory = name.back() == '/';
        if (directory)
            name.pop_back();
        auto* child = new QTreeWidgetItem(item);
        child->setText(0, QString::fromUtf8(ShownText(name)));
        child->setData(0, kNameRole, QByteArray::fromStdString(name));
        child->setData(0, kDirectoryRole, directory);
        child->setData(0, kFilledRole, directory ? 0 : 1);
        child->setIcon(0, directory ? TwoStateIcon(kDirectory, kDirectoryOpen)
                                    : TwoStateIcon(kPage, kPageSelected));
        if (directory)
            child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    item->setData(0, kFilledRole, 1);
}

CSitePage* CSiteTreeCtrl::PageOf(const QTreeWidgetItem* item) const {
    if (m_map == nullptr || item == nullptr || IsDirectory(item))
        return nullptr;
    return m_map->FindPage(ItemPath(item));
}

CSitePage* CSiteTreeCtrl::SelectedPage() const {
    return PageOf(currentItem());
}

bool CSiteTreeCtrl::SelectPage(const std::string& name) {
    QTreeWidgetItem* item = topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
    if (item == nullptr || name.size() < 2 || name.front() != '/')
        return false;
    std::size_t start = 1;
    while (item != nullptr) {
        const std::size_t slash = name.find('/', start);
        const bool last = slash == std::string::npos;
        const std::string part = name.substr(start, last ? std::string::npos : slash - start);
        FillItem(item);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && next == nullptr; ++i) {
            QTreeWidgetItem* child = item->child(i);
            if (IsDirectory(child) != last && RawName(child) == part)
                next = child;
        }
        if (next == nullptr)
            return false;
        if (last) {
            setCurrentItem(next);
            return true;
        }
        next->setExpanded(true);
        item = next;
        start = slash + 1;
    }
    return false;
}
