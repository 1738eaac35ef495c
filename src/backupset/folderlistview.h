#pragma once

#include <QCollator>
#include <QTreeWidget>

#include <filesystem>
#include <memory>
#include <vector>

// The folder list of the main window: one row per folder with its size text and its byte
// count (a hidden column the totals are summed from). Rows are always in the order of the
// folder text under the locale's case-sensitive collation. A row keeps its path as bytes;
// the text is made from them only to be shown.
class FolderListView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { FolderColumn = 0, SizeColumn = 1, BytesColumn = 2 };
    static constexpr int PathRole = Qt::UserRole;

    explicit FolderListView(QWidget* parent = nullptr);

    // The row whose path has exactly these bytes, or nullptr.
    QTreeWidgetItem* findFolder(const std::filesystem::path& folder) const;
    QTreeWidgetItem* addFolderRow(const std::filesystem::path& folder);
    static std::filesystem::path folderOf(const QTreeWidgetItem* row);
    // The folders in list order.
    std::vector<std::filesystem::path> folders() const;
    // The same folders in no fixed order, shared: a long list is not copied for every walk.
    std::shared_ptr<const std::vector<std::filesystem::path>> sharedFolders() const;

    int compareFolderTexts(const QString& a, const QString& b) const { return m_collator.compare(a, b); }
    static QString displayText(const std::filesystem::path& folder);

private:
    QCollator m_collator;
    mutable std::shared_ptr<std::vector<std::filesystem::path>> m_sharedFolders;
};
