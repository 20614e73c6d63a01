// The tree of an agent's pages as directories and pages, filled one level at a time as the user
// expands it: directories before pages, each group in case-insensitive order. Every item keeps
// the raw name of its directory or page (the text shows it with control characters escaped), so
// that paths built from items name the graph's pages exactly. Reads the page graph it is given
// (borrowed) while it is shown; user-interface thread only.
#pragma once

#include <QTreeWidget>
#include <string>

class CSiteMap;
class CSitePage;

class CSiteTreeCtrl : public QTreeWidget {
    Q_OBJECT

  public:
    // Icons of the items: a directory (open when selected) and a page (marked when selected).
    enum Image { kDirectoryOpen = 0, kDirectory = 1, kPageSelected = 2, kPage = 3 };

    explicit CSiteTreeCtrl(QWidget* parent = nullptr);

    // Empties the tree and inserts the root with rootLabel; with a graph (borrowed, may be null)
    // the root is filled and expanded.
    void Fill(CSiteMap* map, const QString& rootLabel);

    // "/" followed by the raw names of the item's ancestors below the root and of the item,
    // joined by "/"; "" for the root.
    static std::string ItemPath(const QTreeWidgetItem* item);
    static bool IsDirectory(const QTreeWidgetItem* item);
    // The page of the graph the item names, or nullptr (a directory, the root, no graph).
    CSitePage* PageOf(const QTreeWidgetItem* item) const;
    // The page of the selected item, or nullptr.
    CSitePage* SelectedPage() const;
    // Selects the item of the page with this name, expanding the directories on its way; false
    // when the tree holds no such page.
    bool SelectPage(const std::string& name);

    // The standard icon of an image number.
    static QIcon ImageIcon(int image);

  private:
    // Adds the item's children once; an item already filled is left as it is.
    void FillItem(QTreeWidgetItem* item);

    CSiteMap* m_map = nullptr;
};
