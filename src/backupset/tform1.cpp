#include "backupset/tform1.h"

#include "backupset/casefolding.h"
#include "backupset/folderlistview.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "widgets/userprompts.h"

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

void removeSelected(QListWidget* l) {
    for (int i = l->count() - 1; i >= 0; --i)
        if (l->item(i)->isSelected())
            delete l->takeItem(i);
}
} // namespace

TForm1::TForm1(UserPrompts& prompts, ActivityLog& log, EventMarker& marker, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_prompts(prompts)
    , m_log(log)
    , m_marker(marker) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Exclusion list"));
    setModal(true);
    buildWidgets();
}

void TForm1::buildWidgets() {
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
    connect(add, &QPushButton::clicked, this, &TForm1::btAddClick);
    connect(remove, &QPushButton::clicked, this, &TForm1::btRemoveClick);
    connect(clear, &QPushButton::clicked, this, &TForm1::btClearClick);
    connect(addType, &QPushButton::clicked, this, &TForm1::XiButton2Click);
    connect(removeType, &QPushButton::clicked, this, &TForm1::XiButton3Click);
    connect(clearType, &QPushButton::clicked, this, &TForm1::XiButton4Click);
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

bool TForm1::hasFolder(const std::filesystem::path& folder) const {
    const std::string wanted = CaseFolding::fold(folder.native());
    for (int i = 0; i < m_folderList->count(); ++i)
        if (CaseFolding::fold(m_folderList->item(i)->data(PathRole).toByteArray().toStdString()) == wanted)
            return true;
    return false;
}

bool TForm1::hasType(const QString& type) const {
    const std::string wanted = CaseFolding::fold(type.toStdString());
    for (int i = 0; i < m_typeList->count(); ++i)
        if (CaseFolding::fold(m_typeList->item(i)->text().toStdString()) == wanted)
            return true;
    return false;
}

void TForm1::appendFolder(const std::filesystem::path& folder) {
    auto* item = new QListWidgetItem(FolderListView::displayText(folder));
    item->setData(PathRole, QByteArray::fromStdString(folder.native()));
    m_folderList->addItem(item);
}

void TForm1::AddExcludedFolder(const std::filesystem::path& folder) {
    m_marker.set(QStringLiteral("add_ex_folder"));
    m_log.logMessage(QStringLiteral("Added exclusion folder ") + FolderListView::displayText(folder));
    if (!hasFolder(folder))
        appendFolder(folder);
}

void TForm1::AddExcludedType(const QString& type) {
    m_marker.set(QStringLiteral("add_ex_type"));
    m_log.logMessage(QStringLiteral("Added exclusion filtype ") + type);
    if (!hasType(type))
        m_typeList->addItem(type);
}

std::vector<std::filesystem::path> TForm1::excludedFolders() const {
    std::vector<std::filesystem::path> result;
    for (int i = 0; i < m_folderList->count(); ++i)
        result.emplace_back(m_folderList->item(i)->data(PathRole).toByteArray().toStdString());
    return result;
}

QStringList TForm1::excludedTypes() const {
    QStringList result;
    for (int i = 0; i < m_typeList->count(); ++i)
        result.append(m_typeList->item(i)->text());
    return result;
}

void TForm1::btAddClick() {
    const auto picked =
        m_prompts.pickFolder(QStringLiteral("Quoralis2005"), QStringLiteral("Add a folder"), m_lastPicked);
    if (!picked)
        return;
    m_lastPicked = *picked;
    if (!hasFolder(*picked))
        appendFolder(*picked);
}

void TForm1::btRemoveClick() {
    removeSelected(m_folderList);
}

void TForm1::btClearClick() {
    m_folderList->clear();
}

QString TForm1::typeFromInput(const QString& typed) {
    QString type = typed;
    for (QChar& c : type)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() - 'A' + 'a');
    if (type.isEmpty() || type == QLatin1String("*.*") || type == QLatin1String("*"))
        return QString();
    if (type.startsWith(QLatin1Char('*')))
        type.remove(0, 1);
    // "**" or "**.*" would leave a wildcard that can never match.
    if (type.isEmpty() || type == QLatin1String("*.*") || type == QLatin1String("*"))
        return QString();
    return type;
}

void TForm1::XiButton2Click() {
    const QString type = typeFromInput(m_typeEdit->text());
    if (!type.isEmpty() && !hasType(type))
        m_typeList->addItem(type);
}

void TForm1::XiButton3Click() {
    removeSelected(m_typeList);
}

void TForm1::XiButton4Click() {
    m_typeList->clear();
}

void TForm1::showEvent(QShowEvent* event) {
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}
