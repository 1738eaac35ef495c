#pragma once

#include <QTreeWidget>

#include <cstdint>
#include <set>
#include <vector>

class ArchiveContents;

// One archive's contents as a folder tree with sizes and dates. Folders are filled in when they
// are opened, so that archives of many entries show at once.
class ContentsView : public QTreeWidget {
    Q_OBJECT
public:
    explicit ContentsView(QWidget* parent = nullptr);

    // Shows an archive (nullptr: nothing). The contents must outlive the view's use of them.
    void showArchive(const ArchiveContents* contents);
    const ArchiveContents* contents() const { return m_contents; }
    // Marks the rows of entries that failed their test (until another archive is shown).
    void setDamaged(const std::vector<std::uint32_t>& entries);
    // The tree nodes of the selected rows.
    std::vector<std::uint32_t> selectedNodes() const;

private:
    void fill(QTreeWidgetItem* parent, std::uint32_t node);
    void fillOnce(QTreeWidgetItem* item);
    void markIfDamaged(QTreeWidgetItem* item) const;

    const ArchiveContents* m_contents = nullptr;
    std::set<std::uint32_t> m_damaged; // entry indexes
};
