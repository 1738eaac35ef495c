#pragma once

#include <QDialog>
#include <QStringList>

#include <filesystem>
#include <vector>

class ActivityLog;
class EventMarker;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class UserPrompts;

// The exclusion dialog; its two lists are the program's store of the excluded folders and
// file types. Owns its widgets only. Changes act on the lists at once; there is no cancel.
class TForm1 : public QDialog {
    Q_OBJECT
public:
    TForm1(UserPrompts& prompts, ActivityLog& log, EventMarker& marker, QWidget* parent = nullptr);

    // Used while the settings load: logged, marked, appended unless present (case ignored).
    void AddExcludedFolder(const std::filesystem::path& folder);
    void AddExcludedType(const QString& type);

    // The lists in order, as the settings are saved and as a walk copies them.
    std::vector<std::filesystem::path> excludedFolders() const;
    QStringList excludedTypes() const;

    // The dialog's own handlers.
    void btAddClick();
    void btRemoveClick();
    void btClearClick();
    void XiButton2Click();
    void XiButton3Click();
    void XiButton4Click();

    // What "Add filetype" makes of the typed text: lower-cased A to Z, one leading "*"
    // dropped; nothing for "", "*" and "*.*".
    static QString typeFromInput(const QString& typed);

    QListWidget* ExFolderList() const { return m_folderList; }
    QListWidget* ExTypeList() const { return m_typeList; }
    QLineEdit* ETYPE() const { return m_typeEdit; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildWidgets();
    bool hasFolder(const std::filesystem::path& folder) const;
    bool hasType(const QString& type) const;
    void appendFolder(const std::filesystem::path& folder);

    UserPrompts& m_prompts;
    ActivityLog& m_log;
    EventMarker& m_marker;
    std::filesystem::path m_lastPicked;
    QTabWidget* m_tabs = nullptr;
    QListWidget* m_folderList = nullptr;
    QListWidget* m_typeList = nullptr;
    QLineEdit* m_typeEdit = nullptr;
};
