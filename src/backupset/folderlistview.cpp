#include "backupset/folderlistview.h"
#include "widgets/plaintooltip.h"

#include "backupset/folderset.h"
#include "backupset/formatsize.h"
#include "config/settingsmodel.h"
#include "log/pathtext.h"

#include <QHeaderView>
#include <QMenu>
#include <QPainter>

#include <algorithm>

FolderListView::FolderListView(const SettingsModel& settings, const FolderSet& folders, QWidget* parent)
    : QTreeWidget(parent)
    , m_settings(settings)
    , m_folders(folders)
    , m_menu(new QMenu(this))
    , m_removeAction(m_menu->addAction(QStringLiteral("Remove")))
    , m_openAction(m_menu->addAction(QStringLiteral("Open folder"))) {
    setObjectName(QStringLiteral("FldrList"));
    setTextElideMode(Qt::ElideMiddle);
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("folder"), QStringLiteral("size"), QStringLiteral("size in bytes")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setSectionsClickable(false);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(FolderColumn, QHeaderView::Stretch);
    header()->setSectionResizeMode(SizeColumn, QHeaderView::Fixed);
    setColumnWidth(SizeColumn, 85);
    setColumnWidth(BytesColumn, 0);
    setColumnHidden(BytesColumn, true);
    showAll();
    connect(&settings, &SettingsModel::folderAdded, this, &FolderListView::addRow);
    connect(&settings, &SettingsModel::folderRemoved, this, &FolderListView::removeRow);
    connect(&settings, &SettingsModel::foldersChanged, this, [this] {
        if (m_settings.folders().empty() && topLevelItemCount() > 0)
            showAll();
    });
    connect(&folders, &FolderSet::folderCounted, this, &FolderListView::showCount);
    connect(&settings, &SettingsModel::destinationChanged, viewport(), qOverload<>(&QWidget::update));

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &FolderListView::showContextMenu);
    connect(m_removeAction, &QAction::triggered, this, &FolderListView::removeSelectedRequested);
    connect(m_openAction, &QAction::triggered, this, [this] {
        if (!m_menuFolder.empty())
            Q_EMIT openFolderRequested(m_menuFolder);
    });
}

void FolderListView::showContextMenu(const QPoint& position) {
    QTreeWidgetItem* row = itemAt(position);
    // A right-click on a row that is not selected acts on that row alone, as in a file manager.
    if (row && !row->isSelected())
        setCurrentItem(row);
    m_menuFolder = row ? folderOf(row) : std::filesystem::path();
    m_removeAction->setEnabled(m_removing && !selectedFolders().empty());
    m_openAction->setEnabled(row != nullptr);
    m_menu->popup(viewport()->mapToGlobal(position));
}

QString FolderListView::displayText(const std::filesystem::path& folder) {
    return pathText(folder);
}

std::filesystem::path FolderListView::folderOf(const QTreeWidgetItem* row) {
    return row->data(FolderColumn, PathRole).value<std::filesystem::path>();
}

QTreeWidgetItem* FolderListView::findFolder(const std::filesystem::path& folder) const {
    const auto found = m_rows.find(folder.native());
    return found != m_rows.end() ? found->second : nullptr;
}

std::vector<std::filesystem::path> FolderListView::selectedFolders() const {
    std::vector<std::filesystem::path> result;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->isSelected())
            result.push_back(folderOf(topLevelItem(i)));
    return result;
}

void FolderListView::showAll() {
    clear();
    m_rows.clear();
    const auto& listed = m_settings.folders();
    for (std::size_t i = 0; i < listed.size(); ++i)
        insertRow(listed[i], static_cast<int>(i));
}

void FolderListView::addRow(const std::filesystem::path& folder) {
    // The model keeps the order; a folder lands where the model put it.
    const auto& listed = m_settings.folders();
    const auto at = std::find_if(listed.begin(), listed.end(), [&](const std::filesystem::path& f) {
        return f.native() == folder.native();
    });
    insertRow(folder, static_cast<int>(at - listed.begin()));
}

void FolderListView::insertRow(const std::filesystem::path& folder, int index) {
    if (m_rows.contains(folder.native()))
        return;
    auto* row = new QTreeWidgetItem;
    row->setData(FolderColumn, PathRole, QVariant::fromValue(folder));
    row->setText(FolderColumn, displayText(folder));
    row->setToolTip(FolderColumn, PlainToolTip::of(displayText(folder)));
    row->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    insertTopLevelItem(std::min(index, topLevelItemCount()), row);
    m_rows.emplace(folder.native(), row);
    if (const auto bytes = m_folders.folderBytes(folder))
        showCount(folder, *bytes);
}

void FolderListView::removeRow(const std::filesystem::path& folder) {
    if (const auto found = m_rows.find(folder.native()); found != m_rows.end()) {
        delete found->second;
        m_rows.erase(found);
    }
}

void FolderListView::showCount(const std::filesystem::path& folder, qint64 bytes) {
    QTreeWidgetItem* row = findFolder(folder);
    if (!row)
        return;
    row->setText(SizeColumn, FormatSize(bytes));
    row->setText(BytesColumn, QString::number(bytes));
}

QString FolderListView::firstStepsText() const {
    QString text = QStringLiteral("No folders to back up yet.\nPress \"Add folder\" to choose one.");
    if (m_settings.destination().empty())
        text += QStringLiteral("\nThen press \"Settings\" to choose where the backups go.");
    return text;
}

void FolderListView::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    if (topLevelItemCount() > 0)
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                     firstStepsText());
}
