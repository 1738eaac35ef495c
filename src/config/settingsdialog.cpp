#include "config/settingsdialog.h"

#include "config/dialogparts.h"

#include "autostart/sessionautostart.h"

#include "config/buttontabwidget.h"
#include "config/radiogroup.h"
#include "config/releasenotifyingcheckbox.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "log/pathtext.h"
#include "platform/drivetype.h"
#include "widgets/skinpalette.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kLineBreak = QStringLiteral("\n\r");
const QString kExamplePrefix = QStringLiteral("Example archive name:");
constexpr int kSidePanelWidth = 105;

} // namespace

SettingsDialog::SettingsDialog(SettingsModel& settings, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_prompts(prompts) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Quoralis2005 configuration"));
    // The dialog is a white panel of its own, dark on light whatever the desktop's colours are.
    setPalette(SkinPalette::windowPalette(Qt::white));
    setAutoFillBackground(true);

    m_pages = new ButtonTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addPage(buildGeneralPage(), QStringLiteral("General"));
    m_pages->addPage(buildDestinationPage(), QStringLiteral("Destination"));
    m_pages->addPage(buildBackupsPage(), QStringLiteral("Backups"));
    m_pages->addPage(buildVoicePage(), QStringLiteral("Voice"));

    // On a screen smaller than the dialog, the pages scroll instead of cutting captions short; Ok
    // stays in reach beside them.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("SettingsScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(m_pages);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(scroller, 1);
    layout->addWidget(buildSidePanel());
    resize(QSize(460, 299).expandedTo(layout->totalMinimumSize() + m_pages->minimumSizeHint() -
                                      scroller->minimumSizeHint()));

    bindToModel();
    refreshExampleName();
    connectReactions();
}

QWidget* SettingsDialog::buildGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabGeneral"));
#ifdef Q_OS_WIN
    const QString autoStartCaption = QStringLiteral("Auto start with Windows");
    const QString fadingHint = QStringLiteral("Enable alpha fading for program window (XP)");
#else
    const QString autoStartCaption = QStringLiteral("Start with the desktop session");
    const QString fadingHint = QStringLiteral("Enable alpha fading for program window");
#endif
    auto* autoStart = DialogParts::checkBox<SessionAutoStart>(page, "sessionAutoStart", autoStartCaption);
    autoStart->setAppName(QStringLiteral("Quoralis2005"));
    m_sessionAutoStart = autoStart;
    m_cbHidden =
        DialogParts::checkBox<QCheckBox>(page, "cbHidden", QStringLiteral("Start hidden in system tray"),
                                         QStringLiteral("Start Quoralis2005 in system tray"));
    m_cbVisual =
        DialogParts::checkBox<QCheckBox>(page, "cbVisual", QStringLiteral("Window fading"), fadingHint);
    m_CbLP = DialogParts::checkBox<QCheckBox>(page, "CbLP", QStringLiteral("Run backups in low priority"),
                                              QStringLiteral("Runs in low priority mode during backups"));
    m_cbBOLaunch =
        DialogParts::checkBox<QCheckBox>(page, "cbBOLaunch", QStringLiteral("Make backup on program start"),
                                         QStringLiteral("Make a backup on program launch"));
    m_cbBOClose =
        DialogParts::checkBox<QCheckBox>(page, "cbBOClose", QStringLiteral("Make backup on program close"),
                                         QStringLiteral("make backup when Quoralis2005 is closed"));
    m_cbAuto = DialogParts::checkBox<QCheckBox>(page, "cbAuto", QStringLiteral("Make backup every"));
    m_E_interval = DialogParts::spinBox(page, "E_interval", 5, 100000, 5, 30);
    m_cbLog = DialogParts::checkBox<QCheckBox>(page, "cbLog", QStringLiteral("Keep logs"));
    m_cbSLOG = DialogParts::checkBox<QCheckBox>(page, "cbSLOG", QStringLiteral("Show log viewer"));
    m_cbLogClean = DialogParts::checkBox<QCheckBox>(
        page, "cbLogClean", QStringLiteral("delete logs older than"),
        QStringLiteral("if selected, logs older than one week will be deleted (no confirmation)"));
    m_cbLogClean->setChecked(true);
    m_CleanLogDays = DialogParts::spinBox(page, "CleanLogDays", 1, 30, 1, 7);

    m_SpeedButton1 = new QPushButton(QStringLiteral("delete now"), page);
    m_SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    m_SpeedButton1->setToolTip(QStringLiteral("Delete older logs now"));
    m_SpeedButton1->setFlat(true);
    m_SpeedButton1->setAutoDefault(false);
    m_SpeedButton1->setCursor(Qt::PointingHandCursor);
    m_SpeedButton1->setStyleSheet(QStringLiteral("QPushButton { color: #0000c0; background: transparent; "
                                                 "text-decoration: underline; border: none; }"));

    auto* layout = DialogParts::pageLayout(page);
    layout->addWidget(m_sessionAutoStart);
    layout->addWidget(m_cbHidden);
    layout->addLayout(DialogParts::pair(m_cbVisual, m_CbLP));
    layout->addWidget(m_cbBOLaunch);
    layout->addWidget(m_cbBOClose);
    layout->addLayout(DialogParts::captionWithField(
        m_cbAuto, m_E_interval, DialogParts::label(page, "minutesLabel", QStringLiteral("minutes"))));
    layout->addLayout(DialogParts::pair(m_cbLog, m_cbSLOG));
    auto* cleanRow = DialogParts::captionWithField(
        m_cbLogClean, m_CleanLogDays, DialogParts::label(page, "logDaysLabel", QStringLiteral("days")));
    cleanRow->insertWidget(3, m_SpeedButton1);
    layout->addLayout(cleanRow);
    layout->addStretch(1);
    return page;
}

QWidget* SettingsDialog::buildDestinationPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabDestination"));
    m_Destination = new QLineEdit(page);
    m_Destination->setObjectName(QStringLiteral("Destination"));
    m_DestinationBrowseButton = new QToolButton(page);
    m_DestinationBrowseButton->setObjectName(QStringLiteral("DestinationBrowseButton"));
    m_DestinationBrowseButton->setText(QStringLiteral("..."));
    m_cbNotify = DialogParts::checkBox<QCheckBox>(page, "cbNotify",
                                                  QStringLiteral("Notify me if destination not present"));
    m_cbDesktopNotifications = DialogParts::checkBox<QCheckBox>(
        page, "cbDesktopNotifications", QStringLiteral("Show a desktop notification when a backup ends"),
        QStringLiteral("Always when a backup failed or is incomplete; when it was made, if the main "
                       "window is hidden or nobody started it"));
    QLabel* explanation = DialogParts::label(
        page, "Label2",
        QStringLiteral("Leave unchecked if you are using a removable storage device (\"silent mode\"). "
                       "Scheduled backups will be canceled if unchecked and destination not present."),
        false, true);
    explanation->setWordWrap(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->setSpacing(2);
    folderRow->addWidget(m_Destination, 1);
    folderRow->addWidget(m_DestinationBrowseButton);

    auto* layout = DialogParts::pageLayout(page);
    layout->addWidget(DialogParts::label(page, "Label1", QStringLiteral("Destination directory:"), true));
    layout->addLayout(folderRow);
    layout->addWidget(m_cbNotify);
    layout->addWidget(explanation);
    layout->addWidget(m_cbDesktopNotifications);
    layout->addStretch(1);
    return page;
}

QWidget* SettingsDialog::buildBackupsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabBackups"));
    m_cbNO = DialogParts::checkBox<ReleaseNotifyingCheckBox>(
        page, "cbNO", QStringLiteral("Backup changed files only"),
        QStringLiteral("If selected, unchanged files will be ignored"));
    m_cbInclude = DialogParts::checkBox<QCheckBox>(page, "cbInclude",
                                                   QStringLiteral("Include hidden and system files"));
    m_cbDelPrev = DialogParts::checkBox<QCheckBox>(
        page, "cbDelPrev", QStringLiteral("Delete previous archive first"),
        QStringLiteral("Deletes the existing archive before making a new one"));
    m_cbNoComp = DialogParts::checkBox<QCheckBox>(page, "cbNoComp", QStringLiteral("No compression"));
    m_cbEach = DialogParts::checkBox<QCheckBox>(
        page, "cbEach", QStringLiteral("Create archive for each folder"),
        QStringLiteral("If selected, every folder in your list will have its own "
                       "archive. If not selected, all files go into one archive."));
    m_cbMulti = DialogParts::checkBox<QCheckBox>(
        page, "cbMulti", QStringLiteral("Create multiple archives by date"),
        QStringLiteral("If selected, new archive names will be created. If not "
                       "selected, the same archive will be overwritten"));
    m_cbCleanBackups = DialogParts::checkBox<QCheckBox>(
        page, "cbCleanBackups", QStringLiteral("delete backups older than"),
        QStringLiteral(
            "if selected, backup archives older than x days will be deleted (after confirmation)"));
    m_CleanBackupDays = DialogParts::spinBox(page, "CleanBackupDays", 1, 365, 1, 14);
    m_XLabel = DialogParts::label(page, "XLabel", QStringLiteral("e.g.:"), false, true);
    m_XLabel->setWordWrap(true);

    auto* layout = DialogParts::pageLayout(page);
    layout->addWidget(m_cbNO);
    layout->addWidget(m_cbInclude);
    layout->addLayout(DialogParts::pair(m_cbDelPrev, m_cbNoComp));
    layout->addWidget(DialogParts::label(page, "Label4", QStringLiteral("Archive names:"), true));
    layout->addWidget(m_cbEach);
    layout->addWidget(m_cbMulti);
    layout->addLayout(
        DialogParts::captionWithField(m_cbCleanBackups, m_CleanBackupDays,
                                      DialogParts::label(page, "backupDaysLabel", QStringLiteral("days"))));
    layout->addWidget(m_XLabel);
    layout->addStretch(1);
    return page;
}

QWidget* SettingsDialog::buildVoicePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabVoice"));
    m_cbVoice = new RadioGroup(QStringLiteral("Voice alerts "),
                               {QStringLiteral("off"), QStringLiteral("on"), QStringLiteral("only critical"),
                                QStringLiteral("only when visible"), QStringLiteral("only when minimized")},
                               page);
    m_cbVoice->setObjectName(QStringLiteral("cbVoice"));
    m_cbVoice->setItemIndex(1);
    const QString tip =
        QStringLiteral("tip: you can replace the standard sounds in the \"%1sounds\" directory")
            .arg(QDir::separator());

    auto* layout = DialogParts::pageLayout(page);
    QLabel* tipLabel = DialogParts::label(page, "Label5", tip, false, true);
    tipLabel->setWordWrap(true);
    layout->addWidget(m_cbVoice);
    layout->addWidget(tipLabel);
    layout->addStretch(1);
    return page;
}

QWidget* SettingsDialog::buildSidePanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFixedWidth(kSidePanelWidth);
    auto makeButton = [panel](const char* name, const QString& caption, const QString& hint) {
        auto* button = new QPushButton(caption, panel);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(hint);
        button->setAutoDefault(false);
        return button;
    };
    m_btNews = makeButton("btNews", QStringLiteral("Newsletter"),
                          QStringLiteral("Subscribe to the newsletter and stay informed of updates!"));
    m_btUpdate2 =
        makeButton("btUpdate2", QStringLiteral("Update"), QStringLiteral("Check for newer version"));
    m_cbAC = DialogParts::checkBox<QCheckBox>(panel, "cbAC", QStringLiteral("auto-check"),
                                              QStringLiteral("Check for newer version on startup"));
    m_cbAC->setChecked(true);
    m_btOk = makeButton("btOk", QStringLiteral("Ok"), QStringLiteral("Close settings"));
    m_btOk->setMinimumHeight(60);
    m_btOk->setDefault(true);
    m_TBLabel = DialogParts::label(panel, "TBLabel", QStringLiteral("0"), true, true);

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_btNews);
    layout->addWidget(m_btUpdate2);
    layout->addWidget(m_cbAC);
    layout->addStretch(1);
    layout->addWidget(m_btOk);
    layout->addWidget(DialogParts::label(panel, "Label3", QStringLiteral("Total backups:")));
    layout->addWidget(m_TBLabel);
    return panel;
}

void SettingsDialog::connectReactions() {
    connect(m_cbNO, &ReleaseNotifyingCheckBox::mouseReleased, this, &SettingsDialog::cbNOMouseUp);
    connect(m_SpeedButton1, &QPushButton::clicked, this, &SettingsDialog::SpeedButton1Click);
    connect(m_DestinationBrowseButton, &QToolButton::clicked, this, &SettingsDialog::DestinationBrowse);
    connect(m_btUpdate2, &QPushButton::clicked, this, &SettingsDialog::btUpdate2Click);
    connect(m_btNews, &QPushButton::clicked, this, &SettingsDialog::btNewsClick);
    connect(m_btOk, &QPushButton::clicked, this, &SettingsDialog::btOkClick);
}

void SettingsDialog::bindCheckBox(QCheckBox* box, Setting setting) {
    m_boxes.emplace_back(box, setting);
    connect(box, &QCheckBox::toggled, this, [this, setting](bool on) { m_settings.setOn(setting, on); });
}

void SettingsDialog::bindSpinBox(QSpinBox* spin, Setting setting) {
    m_spins.emplace_back(spin, setting);
    connect(spin, &QSpinBox::valueChanged, this,
            [this, setting](int value) { m_settings.setNumber(setting, value); });
}

void SettingsDialog::bindToModel() {
    bindCheckBox(m_cbHidden, Setting::StartHidden);
    bindCheckBox(m_cbVisual, Setting::WindowFading);
    bindCheckBox(m_CbLP, Setting::LowPriority);
    bindCheckBox(m_cbBOLaunch, Setting::BackupLaunch);
    bindCheckBox(m_cbBOClose, Setting::BackupClose);
    bindCheckBox(m_cbAuto, Setting::TimerEnabled);
    bindCheckBox(m_cbLog, Setting::KeepLog);
    bindCheckBox(m_cbSLOG, Setting::ShowLog);
    bindCheckBox(m_cbLogClean, Setting::CleanLogs);
    bindCheckBox(m_cbNotify, Setting::NotifyDestination);
    bindCheckBox(m_cbDesktopNotifications, Setting::DesktopNotifications);
    bindCheckBox(m_cbNO, Setting::NewOnly);
    bindCheckBox(m_cbInclude, Setting::IncludeHidden);
    bindCheckBox(m_cbDelPrev, Setting::DelPrev);
    bindCheckBox(m_cbNoComp, Setting::NoComp);
    bindCheckBox(m_cbEach, Setting::EachFolder);
    bindCheckBox(m_cbMulti, Setting::MultiArchive);
    bindCheckBox(m_cbCleanBackups, Setting::CleanBackups);
    bindCheckBox(m_cbAC, Setting::AutoCheck);
    bindSpinBox(m_E_interval, Setting::TimerInterval);
    bindSpinBox(m_CleanLogDays, Setting::LogCleanDays);
    bindSpinBox(m_CleanBackupDays, Setting::BackupCleanDays);
    connect(m_cbVoice, &RadioGroup::itemIndexChanged, this,
            [this](int index) { m_settings.setNumber(Setting::Voice, index); });
    connect(m_Destination, &QLineEdit::textChanged, this, &SettingsDialog::destinationEdited);

    for (const SettingSpec& spec : SettingsSchema::all())
        showValue(spec.setting);
    showDestination();
    applyEnabling();
    connect(&m_settings, &SettingsModel::changed, this, [this](Setting setting) {
        showValue(setting);
        applyEnabling();
        if (setting == Setting::EachFolder || setting == Setting::MultiArchive)
            refreshExampleName();
    });
    connect(&m_settings, &SettingsModel::destinationChanged, this, &SettingsDialog::showDestination);
    setTotalBackups(m_settings.totalBackups());
    connect(&m_settings, &SettingsModel::totalBackupsChanged, this, &SettingsDialog::setTotalBackups);
}

void SettingsDialog::showValue(Setting setting) {
    for (const auto& [box, bound] : m_boxes)
        if (bound == setting)
            box->setChecked(m_settings.isOn(setting));
    for (const auto& [spin, bound] : m_spins)
        if (bound == setting)
            spin->setValue(m_settings.number(setting));
    if (setting == Setting::Voice)
        m_cbVoice->setItemIndex(m_settings.number(setting));
}

void SettingsDialog::applyEnabling() {
    m_E_interval->setEnabled(m_settings.isEditable(Setting::TimerInterval));
    m_cbCleanBackups->setEnabled(m_settings.isEditable(Setting::CleanBackups));
    m_cbLogClean->setEnabled(m_settings.isEditable(Setting::CleanLogs));
}

void SettingsDialog::turnToDestination() {
    for (int i = 0; i < m_pages->count(); ++i) {
        if (m_pages->page(i)->isAncestorOf(m_Destination))
            m_pages->setCurrentIndex(i);
    }
    m_Destination->setFocus();
    m_Destination->selectAll();
}

void SettingsDialog::showDestination() {
    const QString shown = pathText(m_settings.destination());
    if (shown == m_destinationShown && m_Destination->text() == shown)
        return;
    m_destinationShown = shown;
    m_Destination->setText(shown);
}

void SettingsDialog::destinationEdited(const QString& text) {
    // The text shown for the model's bytes stands for those bytes; anything else typed is a new path.
    if (text == m_destinationShown)
        return;
    m_destinationShown = text;
    m_settings.setDestination(pathFromText(text));
}

QCheckBox* SettingsDialog::cbNO() const {
    return m_cbNO;
}

void SettingsDialog::setTotalBackups(quint64 total) {
    m_TBLabel->setText(QString::number(total));
}

void SettingsDialog::setPromptingEnabled(bool enabled) {
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(m_btUpdate2), static_cast<QAbstractButton*>(m_SpeedButton1),
          static_cast<QAbstractButton*>(m_DestinationBrowseButton)})
        button->setEnabled(enabled);
}

void SettingsDialog::setExampleNameProvider(std::function<QString()> provider) {
    m_exampleNameProvider = std::move(provider);
    refreshExampleName();
}

void SettingsDialog::refreshExampleName() {
    if (m_exampleNameProvider)
        // A label breaks lines at LF alone: a CR after it would start the name with a blank.
        m_XLabel->setText(kExamplePrefix + QLatin1Char('\n') + m_exampleNameProvider());
    else
        m_XLabel->setText(kExamplePrefix);
}

void SettingsDialog::btOkClick() {
    accept();
}

void SettingsDialog::cbNOMouseUp() {
    if (!m_settings.changedOnlyConflictsWithCleanup())
        return;
    const QStringList lines{
        QStringLiteral("NB:"),
        QStringLiteral(
            "You have selected to backup changed files only, but also to delete outdated backups."),
        QStringLiteral(
            "If you keep these settings, some files that do not change often might become outdated."),
        QString(),
        QStringLiteral(
            "Please deselect \"delete backups older than...\" OR deselect \"backup changed files only\""),
    };
    m_prompts.notify(lines.join(kLineBreak));
    m_settings.setOn(Setting::CleanBackups, false);
}

void SettingsDialog::SpeedButton1Click() {
    const QString question = QStringLiteral("Are you sure you want to delete all logs older than ") +
                             QString::number(m_settings.number(Setting::LogCleanDays)) +
                             QStringLiteral(" days now?");
    if (m_prompts.askDestructive(question))
        Q_EMIT deleteLogsNowRequested();
}

void SettingsDialog::DestinationBrowse() {
    if (const auto picked = m_prompts.pickFolder(
            QStringLiteral("Destination directory"),
            QStringLiteral("Select the folder the archives are written to"), m_settings.destination()))
        m_settings.setDestination(*picked);

    // An empty field names no drive at all.
    const std::filesystem::path destination = m_settings.destination();
    const platform::DriveType type =
        destination.empty() ? platform::DriveType::NoRootDir : platform::driveTypeOf(destination);
    m_settings.setOn(Setting::NotifyDestination,
                     type == platform::DriveType::Removable || type == platform::DriveType::Fixed);
}

void SettingsDialog::btUpdate2Click() {
    Q_EMIT updateRequested();
}

void SettingsDialog::btNewsClick() {
    Q_EMIT newsletterRequested();
}
