#pragma once

#include "config/settingsschema.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class ButtonTabWidget;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class RadioGroup;
class ReleaseNotifyingCheckBox;
class SettingsModel;
class UserPrompts;

// The settings dialog: a view of the settings model. Each control shows its value and a change
// takes effect in the model at once; the dialog itself never saves anything. Owns its pages
// and controls.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(SettingsModel& settings, UserPrompts& prompts, QWidget* parent = nullptr);

    // "General"
    QCheckBox* sessionAutoStart() const { return m_sessionAutoStart; }
    QCheckBox* cbHidden() const { return m_cbHidden; }
    QCheckBox* cbVisual() const { return m_cbVisual; }
    QCheckBox* CbLP() const { return m_CbLP; }
    QCheckBox* cbBOLaunch() const { return m_cbBOLaunch; }
    QCheckBox* cbBOClose() const { return m_cbBOClose; }
    QCheckBox* cbAuto() const { return m_cbAuto; }
    QSpinBox* E_interval() const { return m_E_interval; }
    QCheckBox* cbLog() const { return m_cbLog; }
    QCheckBox* cbSLOG() const { return m_cbSLOG; }
    QCheckBox* cbLogClean() const { return m_cbLogClean; }
    QSpinBox* CleanLogDays() const { return m_CleanLogDays; }
    // "Destination"
    QLineEdit* Destination() const { return m_Destination; }
    QCheckBox* cbNotify() const { return m_cbNotify; }
    QCheckBox* cbDesktopNotifications() const { return m_cbDesktopNotifications; }
    // "Backups"
    QCheckBox* cbNO() const;
    QCheckBox* cbInclude() const { return m_cbInclude; }
    QCheckBox* cbDelPrev() const { return m_cbDelPrev; }
    QCheckBox* cbNoComp() const { return m_cbNoComp; }
    QCheckBox* cbEach() const { return m_cbEach; }
    QCheckBox* cbMulti() const { return m_cbMulti; }
    QCheckBox* cbCleanBackups() const { return m_cbCleanBackups; }
    QSpinBox* CleanBackupDays() const { return m_CleanBackupDays; }
    QLabel* XLabel() const { return m_XLabel; }
    // "Voice"
    RadioGroup* cbVoice() const { return m_cbVoice; }
    // Right-hand panel
    QCheckBox* cbAC() const { return m_cbAC; }
    QLabel* TBLabel() const { return m_TBLabel; }

    void setTotalBackups(quint64 total);
    // Turns to the page of the destination, its field ready for typing.
    void turnToDestination();
    // "Update", "delete now" and the destination picker open windows with loops of their own; a backup
    // run switches them off meanwhile.
    void setPromptingEnabled(bool enabled);
    // The main window names the example archive; until it does, the label shows the prefix only.
    void setExampleNameProvider(std::function<QString()> provider);
    void refreshExampleName();

    void btOkClick();
    void cbNOMouseUp();
    void SpeedButton1Click();
    void DestinationBrowse();
    void btUpdate2Click();
    void btNewsClick();

Q_SIGNALS:
    void deleteLogsNowRequested();
    void updateRequested();
    void newsletterRequested();

private:
    QWidget* buildGeneralPage();
    QWidget* buildDestinationPage();
    QWidget* buildBackupsPage();
    QWidget* buildVoicePage();
    QWidget* buildSidePanel();
    void connectReactions();
    void bindToModel();
    void bindCheckBox(QCheckBox* box, Setting setting);
    void bindSpinBox(QSpinBox* spin, Setting setting);
    void showValue(Setting setting);
    void showDestination();
    void destinationEdited(const QString& text);
    void applyEnabling();

    SettingsModel& m_settings;
    UserPrompts& m_prompts;
    std::function<QString()> m_exampleNameProvider;
    ButtonTabWidget* m_pages = nullptr;

    QCheckBox* m_sessionAutoStart = nullptr;
    QCheckBox* m_cbHidden = nullptr;
    QCheckBox* m_cbVisual = nullptr;
    QCheckBox* m_CbLP = nullptr;
    QCheckBox* m_cbBOLaunch = nullptr;
    QCheckBox* m_cbBOClose = nullptr;
    QCheckBox* m_cbAuto = nullptr;
    QSpinBox* m_E_interval = nullptr;
    QCheckBox* m_cbLog = nullptr;
    QCheckBox* m_cbSLOG = nullptr;
    QCheckBox* m_cbLogClean = nullptr;
    QSpinBox* m_CleanLogDays = nullptr;
    QPushButton* m_SpeedButton1 = nullptr;

    QLineEdit* m_Destination = nullptr;
    // The text the field shows for the model's destination; a folder whose name is not valid
    // UTF-8 keeps its bytes for as long as that text is not edited.
    QString m_destinationShown;
    QToolButton* m_DestinationBrowseButton = nullptr;
    QCheckBox* m_cbNotify = nullptr;
    QCheckBox* m_cbDesktopNotifications = nullptr;

    ReleaseNotifyingCheckBox* m_cbNO = nullptr;
    QCheckBox* m_cbInclude = nullptr;
    QCheckBox* m_cbDelPrev = nullptr;
    QCheckBox* m_cbNoComp = nullptr;
    QCheckBox* m_cbEach = nullptr;
    QCheckBox* m_cbMulti = nullptr;
    QCheckBox* m_cbCleanBackups = nullptr;
    QSpinBox* m_CleanBackupDays = nullptr;
    QLabel* m_XLabel = nullptr;

    RadioGroup* m_cbVoice = nullptr;

    QPushButton* m_btNews = nullptr;
    QPushButton* m_btUpdate2 = nullptr;
    QCheckBox* m_cbAC = nullptr;
    QPushButton* m_btOk = nullptr;
    QLabel* m_TBLabel = nullptr;

    std::vector<std::pair<QCheckBox*, Setting>> m_boxes;
    std::vector<std::pair<QSpinBox*, Setting>> m_spins;
};
