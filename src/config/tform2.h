#pragma once

#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>

class ButtonTabWidget;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class RadioGroup;
class ReleaseNotifyingCheckBox;
class UserPrompts;

// The settings dialog. Its controls are the program's live store of the options:
// the settings loader fills them, everything else reads them, and the dialog itself
// never saves anything. Owns its pages and controls.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(UserPrompts& prompts, QWidget* parent = nullptr);

    // "General"
    QCheckBox* VeltraneAutoStart1() const { return m_VeltraneAutoStart1; }
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
    // The destination folder as bytes. The field shows them as text; a folder whose name is not
    // valid UTF-8 keeps its bytes for as long as the text shown for them is not edited.
    std::filesystem::path destinationPath() const;
    void setDestinationPath(const std::filesystem::path& folder);
    // Ends a destination that is set with the separator, in the field too, and returns it.
    std::filesystem::path terminatedDestination();
    QCheckBox* cbNotify() const { return m_cbNotify; }
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
    // The main window names the example archive; until it does, the label shows the prefix only.
    void setExampleNameProvider(std::function<QString()> provider);
    void refreshExampleName();

    void btOkClick();
    void cbAutoClick();
    void E_intervalChange();
    void cbEachClick();
    void cbMultiClick();
    void cbLogClick();
    void cbSLOGClick();
    void cbVisualClick();
    void cbNOMouseUp();
    void SpeedButton1Click();
    void DestinationBrowse();
    void btUpdate2Click();
    void btNewsClick();

Q_SIGNALS:
    // The interval box or value changed: the interval timer applies its settings.
    void intervalSettingsChanged();
    void showLogViewerChanged(bool show);
    void fadingChanged(bool enabled);
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
    void applyDependentEnabling();

    UserPrompts& m_prompts;
    std::function<QString()> m_exampleNameProvider;
    ButtonTabWidget* m_pages = nullptr;

    QCheckBox* m_VeltraneAutoStart1 = nullptr;
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
    std::string m_destinationBytes;
    QString m_destinationShown;
    QToolButton* m_DestinationBrowseButton = nullptr;
    QCheckBox* m_cbNotify = nullptr;

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
};
