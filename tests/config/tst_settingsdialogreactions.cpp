// The settings dialog's reactions, driven through real widgets and scripted prompts.
#include "config/settingsmodel.h"
#include "config/settingsdialog.h"
#include "scriptedprompts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kNotice = QStringLiteral(
    "NB:\n\rYou have selected to backup changed files only, but also to delete outdated backups.\n\r"
    "If you keep these settings, some files that do not change often might become outdated.\n\r\n\r"
    "Please deselect \"delete backups older than...\" OR deselect \"backup changed files only\"");
}

class TestSettingsDialogReactions : public QObject {
    Q_OBJECT

    ScriptedPrompts* m_prompts = nullptr;
    SettingsModel* m_settings = nullptr;
    SettingsDialog* m_dialog = nullptr;

    // The values of one setting the model announced, in order.
    QList<int> announced(const QSignalSpy& spy, Setting setting) const {
        QList<int> values;
        for (const QList<QVariant>& call : spy)
            if (call.at(0).value<Setting>() == setting)
                values.append(m_settings->number(setting));
        return values;
    }

    void showPage(const QString& title) {
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
        for (auto* button : m_dialog->findChild<QWidget*>(QStringLiteral("PageControl1"))
                                ->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
            if (button->text() == title)
                QTest::mouseClick(button, Qt::LeftButton);
    }
    // Clicks the box itself, not the empty stretch beside its caption.
    static void clickBox(QAbstractButton* box) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    void browse() {
        showPage(QStringLiteral("Destination"));
        QTest::mouseClick(m_dialog->findChild<QAbstractButton*>(QStringLiteral("DestinationBrowseButton")),
                          Qt::LeftButton);
    }

private Q_SLOTS:
    void init() {
        m_prompts = new ScriptedPrompts;
        m_settings = new SettingsModel;
        m_dialog = new SettingsDialog(*m_settings, *m_prompts);
    }
    void cleanup() {
        QVERIFY(m_prompts->allAnswersUsed());
        delete m_dialog;
        delete m_settings;
        delete m_prompts;
    }

    void datedNamesEnableOldBackupDeletion() {
        showPage(QStringLiteral("Backups"));
        clickBox(m_dialog->cbMulti());
        QVERIFY(m_dialog->cbCleanBackups()->isEnabled());
        QVERIFY(!m_dialog->cbCleanBackups()->isChecked());
        m_dialog->cbCleanBackups()->setChecked(true);

        m_dialog->cbMulti()->setChecked(false);
        QVERIFY(!m_dialog->cbCleanBackups()->isEnabled());
        QVERIFY(!m_dialog->cbCleanBackups()->isChecked());
        m_dialog->cbMulti()->setChecked(true);
        QVERIFY(m_dialog->cbCleanBackups()->isEnabled());
        QVERIFY(!m_dialog->cbCleanBackups()->isChecked());
    }

    void keepLogsGovernsLogViewerAndCleanup() {
        QSignalSpy changes(m_settings, &SettingsModel::changed);
        m_dialog->cbLog()->setChecked(true);
        QVERIFY(m_dialog->cbLogClean()->isEnabled());
        m_dialog->cbSLOG()->setChecked(true);
        QVERIFY(m_settings->isOn(Setting::ShowLog));

        m_dialog->cbLog()->setChecked(false);
        QVERIFY(!m_dialog->cbSLOG()->isChecked());
        QVERIFY(!m_dialog->cbLogClean()->isEnabled());
        QVERIFY(m_dialog->cbLogClean()->isChecked());
        QVERIFY(!m_settings->isOn(Setting::ShowLog));

        m_dialog->cbLog()->setChecked(true);
        QVERIFY(!m_dialog->cbSLOG()->isChecked());
        QVERIFY(m_dialog->cbLogClean()->isEnabled());
        QCOMPARE(announced(changes, Setting::ShowLog).size(), 2);
    }

    void changedOnlyWarnsOnceOnTheTickingRelease() {
        m_dialog->cbNO()->setChecked(true);
        m_dialog->cbMulti()->setChecked(true);
        m_dialog->cbCleanBackups()->setChecked(true);
        QVERIFY(m_prompts->notices().isEmpty());
        showPage(QStringLiteral("Backups"));

        clickBox(m_dialog->cbNO());
        QVERIFY(m_prompts->notices().isEmpty());
        clickBox(m_dialog->cbNO());
        QCOMPARE(m_prompts->notices(), QStringList{kNotice});
        QVERIFY(!m_dialog->cbCleanBackups()->isChecked());

        clickBox(m_dialog->cbNO());
        clickBox(m_dialog->cbNO());
        QCOMPARE(m_prompts->notices().size(), 1);
    }

    void changedOnlyByKeyboardDoesNotWarn() {
        m_dialog->cbMulti()->setChecked(true);
        m_dialog->cbCleanBackups()->setChecked(true);
        showPage(QStringLiteral("Backups"));
        QTest::keyClick(m_dialog->cbNO(), Qt::Key_Space);
        QVERIFY(m_dialog->cbNO()->isChecked());
        QVERIFY(m_prompts->notices().isEmpty());
        QVERIFY(m_dialog->cbCleanBackups()->isChecked());
    }

    void deleteLogsNow_data() {
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("yes");
        QTest::newRow("7 days, yes") << 7 << true;
        QTest::newRow("30 days, no") << 30 << false;
    }
    void deleteLogsNow() {
        QFETCH(int, days);
        QFETCH(bool, yes);
        QSignalSpy requested(m_dialog, &SettingsDialog::deleteLogsNowRequested);
        m_dialog->CleanLogDays()->setValue(days);
        m_prompts->queueAnswer(yes);
        showPage(QStringLiteral("General"));
        QTest::mouseClick(m_dialog->findChild<QAbstractButton*>(QStringLiteral("SpeedButton1")),
                          Qt::LeftButton);
        QCOMPARE(
            m_prompts->questions(),
            QStringList{QStringLiteral("Are you sure you want to delete all logs older than %1 days now?")
                            .arg(days)});
        // Deleting is what Yes does: No is the default.
        QCOMPARE(m_prompts->destructiveQuestions, m_prompts->questions());
        QCOMPARE(requested.count(), yes ? 1 : 0);
    }

    void browsingSetsNotifyFromTheDriveType() {
        // The test's own folder lies on a disk; a RAM-disk build tree has no fixed folder to offer.
        QTemporaryDir fixed(QCoreApplication::applicationDirPath() + QStringLiteral("/destination-XXXXXX"));
        QVERIFY(fixed.isValid());
        const QByteArray fixedType = QStorageInfo(fixed.path()).fileSystemType();
        if (fixedType == "tmpfs" || fixedType == "ramfs")
            QSKIP("the build tree is on a RAM disk");
        m_dialog->Destination()->setText(QStringLiteral("/typed/start"));
        m_prompts->queueFolder(std::filesystem::path(fixed.path().toStdString()));
        browse();
        QCOMPARE(m_prompts->lastPickerStart, std::filesystem::path("/typed/start"));
        QCOMPARE(m_dialog->Destination()->text(), fixed.path());
        QVERIFY(m_dialog->cbNotify()->isChecked());

        if (QStorageInfo(QStringLiteral("/dev/shm")).fileSystemType() != "tmpfs")
            QSKIP("/dev/shm is not a RAM disk here");
        QTemporaryDir ram(QStringLiteral("/dev/shm/settingsdialog-XXXXXX"));
        QVERIFY(ram.isValid());
        m_prompts->queueFolder(std::filesystem::path(ram.path().toStdString()));
        browse();
        QCOMPARE(m_dialog->Destination()->text(), ram.path());
        QVERIFY(!m_dialog->cbNotify()->isChecked());

        // A cancelled picker recomputes the box for the path in the field, typed or not.
        m_dialog->Destination()->setText(fixed.path());
        m_prompts->queueFolder(std::nullopt);
        browse();
        QCOMPARE(m_dialog->Destination()->text(), fixed.path());
        QVERIFY(m_dialog->cbNotify()->isChecked());
        m_dialog->Destination()->setText(ram.path() + QStringLiteral("/not/yet/made"));
        m_prompts->queueFolder(std::nullopt);
        browse();
        QVERIFY(!m_dialog->cbNotify()->isChecked());
        m_dialog->cbNotify()->setChecked(true);
        m_dialog->Destination()->clear();
        m_prompts->queueFolder(std::nullopt);
        browse();
        QVERIFY(!m_dialog->cbNotify()->isChecked());
    }

    void exampleNameFollowsTheNamingOptions() {
        m_dialog->setExampleNameProvider([this] {
            QString name = QStringLiteral("Quoralis");
            if (m_dialog->cbEach()->isChecked())
                name += QStringLiteral("_MyDocs");
            if (m_dialog->cbMulti()->isChecked())
                name += QStringLiteral("_date");
            return name;
        });
        QCOMPARE(m_dialog->XLabel()->text(), QStringLiteral("Example archive name:\nQuoralis"));
        m_dialog->cbEach()->setChecked(true);
        QCOMPARE(m_dialog->XLabel()->text(), QStringLiteral("Example archive name:\nQuoralis_MyDocs"));
        m_dialog->cbMulti()->setChecked(true);
        QCOMPARE(m_dialog->XLabel()->text(), QStringLiteral("Example archive name:\nQuoralis_MyDocs_date"));
        m_dialog->cbEach()->setChecked(false);
        QCOMPARE(m_dialog->XLabel()->text(), QStringLiteral("Example archive name:\nQuoralis_date"));
    }

    void changesFromCodeRaiseTheirSignals() {
        QSignalSpy changes(m_settings, &SettingsModel::changed);
        const auto timerChanges = [&] {
            return announced(changes, Setting::TimerEnabled).size() +
                   announced(changes, Setting::TimerInterval).size();
        };
        m_dialog->cbAuto()->setChecked(true);
        QVERIFY(m_dialog->E_interval()->isEnabled());
        QCOMPARE(timerChanges(), 1);
        m_dialog->E_interval()->setValue(45);
        QCOMPARE(m_settings->number(Setting::TimerInterval), 45);
        QCOMPARE(timerChanges(), 2);
        m_dialog->E_interval()->setValue(45);
        m_dialog->cbAuto()->setChecked(true);
        QCOMPARE(timerChanges(), 2);
        m_dialog->cbAuto()->setChecked(false);
        QVERIFY(!m_dialog->E_interval()->isEnabled());
        QCOMPARE(timerChanges(), 3);

        m_dialog->cbVisual()->setChecked(true);
        m_dialog->cbVisual()->setChecked(false);
        QCOMPARE(announced(changes, Setting::WindowFading).size(), 2);
        QVERIFY(!m_settings->isOn(Setting::WindowFading));

        // The model changed from elsewhere: the dialog shows it.
        m_settings->setOn(Setting::MultiArchive, true);
        m_settings->setNumber(Setting::BackupCleanDays, 400);
        QVERIFY(m_dialog->cbMulti()->isChecked());
        QVERIFY(m_dialog->cbCleanBackups()->isEnabled());
        QCOMPARE(m_dialog->CleanBackupDays()->value(), 365);
    }

    void sidePanelButtons() {
        QSignalSpy update(m_dialog, &SettingsDialog::updateRequested);
        QSignalSpy news(m_dialog, &SettingsDialog::newsletterRequested);
        showPage(QStringLiteral("Voice"));
        QTest::mouseClick(m_dialog->findChild<QAbstractButton*>(QStringLiteral("btUpdate2")), Qt::LeftButton);
        QTest::mouseClick(m_dialog->findChild<QAbstractButton*>(QStringLiteral("btNews")), Qt::LeftButton);
        QCOMPARE(update.count(), 1);
        QCOMPARE(news.count(), 1);
        QTest::mouseClick(m_dialog->findChild<QAbstractButton*>(QStringLiteral("btOk")), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_prompts->shown, QStringList());
    }
};

QTEST_MAIN(TestSettingsDialogReactions)
#include "tst_settingsdialogreactions.moc"
