#pragma once

#include <QDialog>
#include <QStringList>

#include <filesystem>
#include <vector>

class ExclusionLists;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class SettingsModel;
class UserPrompts;

// The exclusion dialog: a view of the excluded folders and file types of the settings model.
// Owns its widgets only. Changes act on the lists at once; there is no cancel.
class ExclusionDialog : public QDialog {
    Q_OBJECT
public:
    ExclusionDialog(ExclusionLists& lists, const SettingsModel& settings, UserPrompts& prompts,
           QWidget* parent = nullptr);

    // "Add folder" opens a folder picker with a loop of its own; a backup run switches it off meanwhile.
    void setFolderPickingEnabled(bool enabled);

    // The dialog's own handlers.
    void btAddClick();
    void btRemoveClick();
    void btClearClick();
    void XiButton2Click();
    void XiButton3Click();
    void XiButton4Click();

    QListWidget* ExFolderList() const { return m_folderList; }
    QListWidget* ExTypeList() const { return m_typeList; }
    QLineEdit* ETYPE() const { return m_typeEdit; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildWidgets();
    // The rows show the model's lists again.
    void showLists();
    void appendFolderRow(const std::filesystem::path& folder);

    ExclusionLists& m_lists;
    const SettingsModel& m_settings;
    UserPrompts& m_prompts;
    std::filesystem::path m_lastPicked;
    QTabWidget* m_tabs = nullptr;
    QListWidget* m_folderList = nullptr;
    QListWidget* m_typeList = nullptr;
    QLineEdit* m_typeEdit = nullptr;
    QPushButton* m_addFolder = nullptr;
};
