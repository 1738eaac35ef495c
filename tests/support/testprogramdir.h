#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>

// A temporary program directory for one test, with helpers to lay out real files.
class TestProgramDir {
public:
    TestProgramDir();
    // Removes the folder by its bytes: names that are no valid text stop Qt's removal.
    ~TestProgramDir();

    QString path() const { return m_dir.path(); }
    std::filesystem::path fsPath() const { return std::filesystem::path(m_dir.path().toStdString()); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }

    // Writes a file (creating its folders) and returns its full path.
    QString writeFile(const QString& relative, const QByteArray& content) const;
    QByteArray readFile(const QString& relative) const;
    // Copies the files the build lays out beside the program (engine, help, sounds, icon).
    void installProgramFiles() const;

private:
    QTemporaryDir m_dir;
};
