#include "restore/searchresultsview.h"

#include "backupset/formatsize.h"
#include "log/pathtext.h"
#include "log/timestamp.h"
#include "restore/archivecontents.h"
#include "widgets/columnshare.h"

#include <QHeaderView>

SearchResultsView::SearchResultsView(QWidget* parent)
    : QTreeWidget(parent) {
    setObjectName(QStringLiteral("searchResults"));
    setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Modified"), QStringLiteral("Size"),
                     QStringLiteral("Backup"), QStringLiteral("Folder")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformRowHeights(true);
    // The folder tells two files of one name apart: it comes right after the name and takes
    // what room is left, shortened in its middle where it must be.
    ColumnShare::keep(this, FolderColumn, 0.3);
    header()->moveSection(header()->visualIndex(FolderColumn), 1);
    setTextElideMode(Qt::ElideMiddle);
}

void SearchResultsView::setHits(const std::vector<ArchiveSearch::Source>& sources,
                                const std::vector<ArchiveSearch::Hit>& hits, const QStringList& backupNames) {
    clear();
    m_rows.clear();
    QList<QTreeWidgetItem*> items;
    for (std::size_t i = 0; i < hits.size() && i < MaxShown; ++i) {
        const ArchiveContents* contents = sources[hits[i].source].contents;
        const ArchiveContents::Item entry = contents->item(hits[i].entry);
        const std::size_t slash = entry.name.rfind('/');
        const std::string leaf(slash == std::string_view::npos ? entry.name : entry.name.substr(slash + 1));
        const std::string folder =
            "/" +
            std::string(slash == std::string_view::npos ? std::string_view() : entry.name.substr(0, slash));
        auto* item = new QTreeWidgetItem;
        item->setText(0, pathText(leaf));
        item->setText(1, Timestamp::text(QDateTime::fromMSecsSinceEpoch(entry.mtimeNs / 1000000)));
        item->setText(2, FormatSize(static_cast<qint64>(entry.size)));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(3, backupNames.value(static_cast<qsizetype>(hits[i].source)));
        item->setText(FolderColumn, pathText(folder));
        item->setToolTip(0, pathText(folder == "/" ? "/" + leaf : folder + "/" + leaf));
        item->setToolTip(FolderColumn, item->toolTip(0));
        item->setData(0, Qt::UserRole, static_cast<qulonglong>(m_rows.size()));
        m_rows.emplace_back(contents, hits[i].entry);
        items.append(item);
    }
    addTopLevelItems(items);
}

std::vector<std::pair<const ArchiveContents*, std::uint32_t>> SearchResultsView::selectedEntries() const {
    std::vector<std::pair<const ArchiveContents*, std::uint32_t>> out;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    for (const QTreeWidgetItem* item : selected)
        out.push_back(m_rows[item->data(0, Qt::UserRole).toULongLong()]);
    return out;
}
