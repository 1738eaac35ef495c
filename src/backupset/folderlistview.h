#pragma once

#include <QHash>
#include <QTreeWidget>

#include <filesystem>
#include <vector>

class FolderSet;
class SettingsModel;

// The folder list of the main window, a view of the settings model's folders: one row per folder
// with its size text and its byte count (a hidden column). Rows keep the model's order. A row keeps
// its path as bytes; the text is made from them only to be shown.
class FolderListView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { FolderColumn = 0, SizeColumn = 1, BytesColumn = 2 };
    static constexpr int PathRole = Qt::UserRole;

    FolderListView(const SettingsModel& settings, const FolderSet& folders, QWidget* parent = nullptr);

    // The row whose path has exactly these bytes, or nullptr.
    QTreeWidgetItem* findFolder(const std::filesystem::path& folder) const;
    static std::filesystem::path folderOf(const QTreeWidgetItem* row);
    // The folders of the selected rows.
    std::vector<std::filesystem::path> selectedFolders() const;

    static QString displayText(const std::filesystem::path& folder);

private:
    void addRow(const std::filesystem::path& folder);
    void removeRow(const std::filesystem::path& folder);
    void showCount(const std::filesystem::path& folder, qint64 bytes);
    void showAll();

    const SettingsModel& m_settings;
    const FolderSet& m_folders;
    QHash<QByteArray, QTreeWidgetItem*> m_rows;
};
