#pragma once

#include <QString>
#include <QStringList>

// The program's arguments as a scheduler or a shortcut gives them. Only the first argument is a
// switch; "/minimize" counts only as the second. Switches are compared exactly, case included.
class CommandLine {
public:
    enum class Backup {
        None,
        Auto,         // "/auto": a backup at start, then the program stays
        AutoClose,    // "/autoclose": a backup, then the program closes
        AutoShutdown, // "/autoshutdown": a backup, then the computer shuts down
    };

    explicit CommandLine(const QStringList& arguments = {});

    bool hasNoArguments() const { return m_arguments.isEmpty(); }
    const QStringList& arguments() const { return m_arguments; }
    QString spelledOut() const;
    Backup backup() const { return m_backup; }
    bool asksForBackup() const { return m_backup != Backup::None; }
    // Nobody watches the start: the program ends by itself after the backup.
    bool isUnattended() const { return m_backup == Backup::AutoClose || m_backup == Backup::AutoShutdown; }
    bool shutsDown() const { return m_backup == Backup::AutoShutdown; }
    bool minimized() const;

private:
    QStringList m_arguments;
    Backup m_backup = Backup::None;
};
