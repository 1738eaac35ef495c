#pragma once

#include "restore/backupcatalog.h"

#include <QTreeWidget>

#include <vector>

// The backups of the destination, grouped by folder, newest first, each with its date, size and
// number of files.
class BackupListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit BackupListView(QWidget* parent = nullptr);

    void setBackups(std::vector<BackupArchive> backups);
    const std::vector<BackupArchive>& backups() const { return m_backups; }
    // The archive of the current row; nullptr on a group row or with nothing chosen.
    const BackupArchive* currentArchive() const;
    // The group's caption for an archive's folder part.
    static QString groupText(const std::string& folder);

private:
    std::vector<BackupArchive> m_backups;
};
