#pragma once

#include "engine/backuprun.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <filesystem>

// How the last backup ended: when, how (made, incomplete, failed, cancelled) and how many bytes
// of archives it wrote. Kept in the settings file ("stats" section) so that it is known again
// after a restart.
class LastBackup : public QObject {
    Q_OBJECT
public:
    enum class Result { None, Made, Incomplete, Failed, Cancelled };

    explicit LastBackup(QObject* parent = nullptr);

    // What a run tells: its outcome, whether a cancel was asked for (the end of the session
    // cancels a run that then completes what it can), whether an archive of it failed or misses
    // files, and whether it wrote any archive at all. None for a run that did not start.
    static Result resultOf(BackupRun::Outcome outcome, bool cancelAsked, bool archiveFailed,
                           int archivesMade);

    void load(const std::filesystem::path& settingsFile);
    // Keeps the end of a run; the settings file is written at once. Returns the write's error
    // text, empty when it was stored.
    QString record(Result result, quint64 bytes, const QDateTime& ended,
                   const std::filesystem::path& settingsFile);

    Result result() const { return m_result; }
    QDateTime ended() const { return m_ended; }
    quint64 bytes() const { return m_bytes; }

    // "Last backup: <time>, made (12.30 Mb)", or "No backup made yet".
    QString statusText() const;
    // The same in a few words, for the toolbar window and notifications.
    QString shortText() const;
    // Made and complete: nothing for the user to look into.
    bool sound() const { return m_result == Result::Made; }

    static QByteArray keyword(Result result);
    static Result fromKeyword(const QByteArray& keyword);

Q_SIGNALS:
    void changed();

private:
    QString resultText() const;

    Result m_result = Result::None;
    QDateTime m_ended;
    quint64 m_bytes = 0;
};
