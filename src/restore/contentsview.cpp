#include "restore/contentsview.h"

#include "backupset/formatsize.h"
#include "log/pathtext.h"
#include "log/timestamp.h"
#include "restore/archivecontents.h"
#include "widgets/columnshare.h"

#include <QHeaderView>
#include <QTreeWidgetItemIterator>

namespace {

constexpr int NodeRole = Qt::UserRole;
constexpr int FilledRole = Qt::UserRole + 1;

} // namespace

ContentsView::ContentsView(QWidget* parent)
    : QTreeWidget(parent) {
    setObjectName(QStringLiteral("contentsView"));
    setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified")});
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformRowHeights(true);
    ColumnShare::keep(this, 0);
    setTextElideMode(Qt::ElideMiddle);
    connect(this, &QTreeWidget::itemExpanded, this, &ContentsView::fillOnce);
}

void ContentsView::showArchive(const ArchiveContents* contents) {
    m_contents = contents;
    m_damaged.clear();
    clear();
    if (m_contents == nullptr)
        return;
    fill(invisibleRootItem(), ArchiveContents::Root);
    // Open the single folders on the way down (home, the user, ...) to where the files start.
    QTreeWidgetItem* item = topLevelItemCount() == 1 ? topLevelItem(0) : nullptr;
    while (item != nullptr && item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator) {
        item->setExpanded(true);
        item = item->childCount() == 1 ? item->child(0) : nullptr;
    }
}

void ContentsView::fill(QTreeWidgetItem* parent, std::uint32_t node) {
    const auto& nodes = m_contents->nodes();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(nodes[node].children.size()));
    for (std::uint32_t child : nodes[node].children) {
        const ArchiveContents::Node& n = nodes[child];
        auto* item = new QTreeWidgetItem;
        item->setText(0, pathText(std::string(n.name)));
        item->setText(1, FormatSize(static_cast<qint64>(n.size)));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        if (n.mtimeNs != 0)
            item->setText(2, Timestamp::text(QDateTime::fromMSecsSinceEpoch(n.mtimeNs / 1000000)));
        item->setData(0, NodeRole, child);
        if (n.folder) {
            item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
            item->setChildIndicatorPolicy(n.children.empty() ? QTreeWidgetItem::DontShowIndicator
                                                             : QTreeWidgetItem::ShowIndicator);
        } else {
            item->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
        }
        markIfDamaged(item);
        items.append(item);
    }
    parent->addChildren(items);
    parent->setData(0, FilledRole, true);
}

void ContentsView::setDamaged(const std::vector<std::uint32_t>& entries) {
    m_damaged = std::set<std::uint32_t>(entries.begin(), entries.end());
    for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it)
        markIfDamaged(*it);
}

void ContentsView::markIfDamaged(QTreeWidgetItem* item) const {
    const std::int64_t entry = m_contents->nodes()[item->data(0, NodeRole).toUInt()].entry;
    if (entry < 0 || !m_damaged.count(static_cast<std::uint32_t>(entry)))
        return;
    for (int column = 0; column < columnCount(); ++column)
        item->setForeground(column, QColor(Qt::red));
    item->setToolTip(0, QStringLiteral("Damaged: this file fails its test"));
}

void ContentsView::fillOnce(QTreeWidgetItem* item) {
    if (m_contents == nullptr || item->data(0, FilledRole).toBool())
        return;
    fill(item, item->data(0, NodeRole).toUInt());
}

std::vector<std::uint32_t> ContentsView::selectedNodes() const {
    std::vector<std::uint32_t> nodes;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    for (const QTreeWidgetItem* item : selected) {
        // A row inside a selected folder comes with that folder already.
        bool inSelectedFolder = false;
        for (const QTreeWidgetItem* up = item->parent(); up != nullptr && !inSelectedFolder;
             up = up->parent())
            inSelectedFolder = up->isSelected();
        if (!inSelectedFolder)
            nodes.push_back(item->data(0, NodeRole).toUInt());
    }
    return nodes;
}
