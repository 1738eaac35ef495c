#include "restore/backuplistview.h"
#include "widgets/columnshare.h"
#include "widgets/plaintooltip.h"

#include "backupset/formatsize.h"
#include "log/pathtext.h"
#include "log/timestamp.h"

#include <QHeaderView>

BackupListView::BackupListView(QWidget* parent)
    : QTreeWidget(parent) {
    setObjectName(QStringLiteral("backupList"));
    setHeaderLabels(
        {QStringLiteral("Backup"), QStringLiteral("Date"), QStringLiteral("Size"), QStringLiteral("Files")});
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    ColumnShare::keep(this, 0);
    setTextElideMode(Qt::ElideMiddle);
}

QString BackupListView::groupText(const std::string& folder) {
    return folder.empty() ? QStringLiteral("All folders") : pathText(folder);
}

void BackupListView::setBackups(std::vector<BackupArchive> backups) {
    m_backups = std::move(backups);
    clear();
    QTreeWidgetItem* group = nullptr;
    for (std::size_t i = 0; i < m_backups.size(); ++i) {
        const BackupArchive& b = m_backups[i];
        if (group == nullptr ||
            group->data(0, Qt::UserRole + 1).toByteArray() != QByteArray::fromStdString(b.folder)) {
            group = new QTreeWidgetItem(this, {groupText(b.folder)});
            group->setData(0, Qt::UserRole, -1);
            group->setData(0, Qt::UserRole + 1, QByteArray::fromStdString(b.folder));
            group->setFlags(Qt::ItemIsEnabled);
            group->setExpanded(true);
        }
        auto* row = new QTreeWidgetItem(group);
        row->setText(0, pathText(b.path.filename()));
        row->setText(1, Timestamp::text(QDateTime::fromMSecsSinceEpoch(b.mtimeNs / 1000000)));
        row->setText(2, FormatSize(static_cast<qint64>(b.size)));
        row->setText(3, b.readable ? QString::number(b.files) : QStringLiteral("unreadable"));
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        row->setToolTip(0, PlainToolTip::of(b.readable ? pathText(b.path)
                                                       : pathText(b.path) + QStringLiteral("\n") +
                                                             QString::fromStdString(b.error)));
        row->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    }
}

const BackupArchive* BackupListView::currentArchive() const {
    const QTreeWidgetItem* item = currentItem();
    if (item == nullptr)
        return nullptr;
    bool ok = false;
    const qlonglong index = item->data(0, Qt::UserRole).toLongLong(&ok);
    if (!ok || index < 0 || static_cast<std::size_t>(index) >= m_backups.size())
        return nullptr;
    return &m_backups[static_cast<std::size_t>(index)];
}
