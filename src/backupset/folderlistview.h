#pragma once

#include <QTreeWidget>

#include <filesystem>
#include <unordered_map>
#include <vector>

class FolderSet;
class QAction;
class QMenu;
class SettingsModel;

// The folder list of the main window, a view of the settings model's folders: one row per folder
// with its size text and its byte count (a hidden column). Rows keep the model's order. A row keeps
// its path; the text is made from it only to be shown. Long paths are shortened in the
// middle, where folders differ least; the tooltip shows the whole path. Its context menu asks for
// what the window around it does: removing the selected folders, opening one.
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
    // What the empty list says: how to start.
    QString firstStepsText() const;

    // A backup run lists the folders it works on: the menu offers no Remove meanwhile.
    void setRemovingEnabled(bool enabled) { m_removing = enabled; }
    QMenu* contextMenu() const { return m_menu; }
    QAction* removeAction() const { return m_removeAction; }
    QAction* openAction() const { return m_openAction; }

Q_SIGNALS:
    void removeSelectedRequested();
    void openFolderRequested(const std::filesystem::path& folder);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showContextMenu(const QPoint& position);

    void addRow(const std::filesystem::path& folder);
    void insertRow(const std::filesystem::path& folder, int index);
    void removeRow(const std::filesystem::path& folder);
    void showCount(const std::filesystem::path& folder, qint64 bytes);
    void showAll();

    const SettingsModel& m_settings;
    const FolderSet& m_folders;
    // By the path's own characters, as the model tells folders apart.
    std::unordered_map<std::filesystem::path::string_type, QTreeWidgetItem*> m_rows;
    QMenu* m_menu;
    QAction* m_removeAction;
    QAction* m_openAction;
    // The folder the menu was opened on.
    std::filesystem::path m_menuFolder;
    bool m_removing = true;
};
