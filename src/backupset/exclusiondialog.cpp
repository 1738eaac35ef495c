#include "backupset/exclusiondialog.h"

#include "backupset/exclusionlists.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "log/pathtext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
constexpr int PathRole = Qt::UserRole;

QPushButton* button(const QString& name, const QString& caption, const QString& hint) {
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

QListWidget* list(const QString& name) {
    auto* l = new QListWidget;
    l->setObjectName(name);
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return l;
}

QWidget* page(QWidget* content, const QList<QWidget*>& buttons, QWidget* above = nullptr) {
    auto* w = new QWidget;
    auto* column = new QVBoxLayout;
    for (QWidget* b : buttons)
        column->addWidget(b);
    column->addStretch();
    auto* left = new QVBoxLayout;
    if (above)
        left->addWidget(above);
    left->addWidget(content);
    auto* row = new QHBoxLayout(w);
    row->addLayout(left, 1);
    row->addLayout(column);
    return w;
}

std::vector<int> selectedRows(const QListWidget* l) {
    std::vector<int> rows;
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected())
            rows.push_back(i);
    return rows;
}
} // namespace

ExclusionDialog::ExclusionDialog(ExclusionLists& lists, const SettingsModel& settings, UserPrompts& prompts,
                                 QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_lists(lists)
    , m_settings(settings)
    , m_prompts(prompts) {
    setObjectName(QStringLiteral("ExclusionDialog"));
    setWindowTitle(QStringLiteral("Exclusion list"));
    setModal(true);
    buildWidgets();
    showLists();
    connect(&settings, &SettingsModel::exclusionsChanged, this, &ExclusionDialog::showLists);
    connect(&settings, &SettingsModel::excludedFolderAppended, this, &ExclusionDialog::appendFolderRow);
    connect(&settings, &SettingsModel::excludedTypeAppended, this,
            [this](const QString& type) { m_typeList->addItem(type); });
}

void ExclusionDialog::buildWidgets() {
    m_folderList = list(QStringLiteral("ExFolderList"));
    m_typeList = list(QStringLiteral("ExTypeList"));
    m_typeEdit = new QLineEdit(QStringLiteral(".db"));
    m_typeEdit->setObjectName(QStringLiteral("ETYPE"));
    m_typeEdit->setToolTip(QStringLiteral("Example: \".zip\""));

    auto* add = button(QStringLiteral("btAdd"), QStringLiteral("Add folder"),
                       QStringLiteral("Add a folder to the exclude list"));
    auto* remove = button(QStringLiteral("btRemove"), QStringLiteral("Remove"),
                          QStringLiteral("Remove selected folder(s) from the exclude list"));
    auto* clear = button(QStringLiteral("btClear"), QStringLiteral("Clear"),
                         QStringLiteral("Remove all folders from the exclude list"));
    auto* addType = button(QStringLiteral("XiButton2"), QStringLiteral("Add filetype"), QString());
    auto* removeType = button(QStringLiteral("XiButton3"), QStringLiteral("Remove"), QString());
    auto* clearType = button(QStringLiteral("XiButton4"), QStringLiteral("Clear"), QString());
    auto* done =
        button(QStringLiteral("btDone"), QStringLiteral("Done"), QStringLiteral("Save list and continue"));
    m_addFolder = add;
    connect(add, &QPushButton::clicked, this, &ExclusionDialog::btAddClick);
    connect(remove, &QPushButton::clicked, this, &ExclusionDialog::btRemoveClick);
    connect(clear, &QPushButton::clicked, this, &ExclusionDialog::btClearClick);
    connect(addType, &QPushButton::clicked, this, &ExclusionDialog::XiButton2Click);
    connect(m_typeEdit, &QLineEdit::returnPressed, this, &ExclusionDialog::XiButton2Click);
    connect(removeType, &QPushButton::clicked, this, &ExclusionDialog::XiButton3Click);
    connect(clearType, &QPushButton::clicked, this, &ExclusionDialog::XiButton4Click);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("PageControl1"));
    m_tabs->addTab(page(m_folderList, {add, remove, clear}), QStringLiteral("Folders"));
    m_tabs->addTab(page(m_typeList, {addType, removeType, clearType}, m_typeEdit),
                   QStringLiteral("Filetypes"));

    auto* heading =
        new QLabel(QStringLiteral("Exclusion list (these folders and filetypes will be ignored!)"));
    heading->setObjectName(QStringLiteral("Label1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(done, 0, Qt::AlignHCenter);
    resize(420, 300);
}

void ExclusionDialog::showLists() {
    m_folderList->clear();
    for (const auto& folder : m_settings.excludedFolders())
        appendFolderRow(folder);
    m_typeList->clear();
    m_typeList->addItems(m_settings.excludedTypes());
}

void ExclusionDialog::appendFolderRow(const std::filesystem::path& folder) {
    auto* item = new QListWidgetItem(pathText(folder));
    item->setData(PathRole, QVariant::fromValue(folder));
    m_folderList->addItem(item);
}

void ExclusionDialog::setFolderPickingEnabled(bool enabled) {
    m_addFolder->setEnabled(enabled);
}

void ExclusionDialog::btAddClick() {
    const auto picked =
        m_prompts.pickFolder(QStringLiteral("Quoralis2005"), QStringLiteral("Add a folder"), m_lastPicked);
    if (!picked)
        return;
    m_lastPicked = *picked;
    m_lists.addFolder(*picked);
}

void ExclusionDialog::btRemoveClick() {
    m_lists.removeFolders(selectedRows(m_folderList));
}

void ExclusionDialog::btClearClick() {
    m_lists.clearFolders();
}

void ExclusionDialog::XiButton2Click() {
    const QString type = ExclusionLists::typeFromInput(m_typeEdit->text());
    if (!type.isEmpty())
        m_lists.addType(type);
}

void ExclusionDialog::XiButton3Click() {
    m_lists.removeTypes(selectedRows(m_typeList));
}

void ExclusionDialog::XiButton4Click() {
    m_lists.clearTypes();
}

void ExclusionDialog::showEvent(QShowEvent* event) {
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}
