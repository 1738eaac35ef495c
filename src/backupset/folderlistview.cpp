#include "backupset/folderlistview.h"

#include "log/pathtext.h"

#include <QHeaderView>

namespace {
QByteArray pathBytes(const std::filesystem::path& folder) {
    return QByteArray::fromStdString(folder.native());
}

class FolderRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* view = static_cast<const FolderListView*>(treeWidget());
        const int order = view->compareFolderTexts(text(FolderListView::FolderColumn),
                                                   other.text(FolderListView::FolderColumn));
        if (order != 0)
            return order < 0;
        // Different bytes can show the same text; keep such rows in a fixed order too.
        return data(FolderListView::FolderColumn, FolderListView::PathRole).toByteArray() <
               other.data(FolderListView::FolderColumn, FolderListView::PathRole).toByteArray();
    }
};
} // namespace

FolderListView::FolderListView(QWidget* parent)
    : QTreeWidget(parent)
    , m_collator(QLocale::system()) {
    setObjectName(QStringLiteral("FldrList"));
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("folder"), QStringLiteral("size"), QStringLiteral("size in bytes")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(true);
    sortByColumn(FolderColumn, Qt::AscendingOrder);
    header()->setSectionsClickable(false);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(FolderColumn, QHeaderView::Stretch);
    header()->setSectionResizeMode(SizeColumn, QHeaderView::Fixed);
    setColumnWidth(SizeColumn, 85);
    setColumnWidth(BytesColumn, 0);
    setColumnHidden(BytesColumn, true);
    // Rows added here extend the shared folders; rows that go make them anew when next asked for.
    const auto forget = [this] {
        m_sharedFolders.reset();
    };
    connect(model(), &QAbstractItemModel::rowsRemoved, this, forget);
    connect(model(), &QAbstractItemModel::modelReset, this, forget);
}

QString FolderListView::displayText(const std::filesystem::path& folder) {
    return pathText(folder);
}

std::filesystem::path FolderListView::folderOf(const QTreeWidgetItem* row) {
    return std::filesystem::path(row->data(FolderColumn, PathRole).toByteArray().toStdString());
}

QTreeWidgetItem* FolderListView::findFolder(const std::filesystem::path& folder) const {
    const QByteArray wanted = pathBytes(folder);
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->data(FolderColumn, PathRole).toByteArray() == wanted)
            return topLevelItem(i);
    return nullptr;
}

QTreeWidgetItem* FolderListView::addFolderRow(const std::filesystem::path& folder) {
    auto* row = new FolderRow;
    row->setData(FolderColumn, PathRole, pathBytes(folder));
    row->setText(FolderColumn, displayText(folder));
    row->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    addTopLevelItem(row);
    if (m_sharedFolders) {
        if (m_sharedFolders.use_count() > 1) // a walk still holds the old ones
            m_sharedFolders = std::make_shared<std::vector<std::filesystem::path>>(*m_sharedFolders);
        m_sharedFolders->push_back(folder);
    }
    return row;
}

std::vector<std::filesystem::path> FolderListView::folders() const {
    std::vector<std::filesystem::path> result;
    for (int i = 0; i < topLevelItemCount(); ++i)
        result.push_back(folderOf(topLevelItem(i)));
    return result;
}

std::shared_ptr<const std::vector<std::filesystem::path>> FolderListView::sharedFolders() const {
    if (!m_sharedFolders)
        m_sharedFolders = std::make_shared<std::vector<std::filesystem::path>>(folders());
    return m_sharedFolders;
}
