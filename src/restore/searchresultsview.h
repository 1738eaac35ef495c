#pragma once

#include "restore/archivesearch.h"

#include <QTreeWidget>

#include <utility>
#include <vector>

class ArchiveContents;

// The files a search found across the backups: every version of a file, newest first.
class SearchResultsView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr std::size_t MaxShown = 10000;
    static constexpr int FolderColumn = 4;

    explicit SearchResultsView(QWidget* parent = nullptr);

    // `backupNames` names the archive of each source. Shows at most MaxShown hits.
    void setHits(const std::vector<ArchiveSearch::Source>& sources,
                 const std::vector<ArchiveSearch::Hit>& hits, const QStringList& backupNames);
    // The archive and entry of every selected row.
    std::vector<std::pair<const ArchiveContents*, std::uint32_t>> selectedEntries() const;

private:
    std::vector<std::pair<const ArchiveContents*, std::uint32_t>> m_rows;
};
