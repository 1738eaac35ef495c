#include "app/lastbackup.h"

#include "backupset/formatsize.h"
#include "log/timestamp.h"
#include "platform/profilebatch.h"
#include "platform/profilefile.h"

namespace {

const QByteArray Section = "stats";
const QByteArray EndKey = "last_backup_end";
const QByteArray ResultKey = "last_backup_result";
const QByteArray BytesKey = "last_backup_bytes";

} // namespace

LastBackup::LastBackup(QObject* parent)
    : QObject(parent) {}

LastBackup::Result LastBackup::resultOf(BackupRun::Outcome outcome, bool cancelAsked, bool archiveFailed,
                                        int archivesMade) {
    switch (outcome) {
    case BackupRun::Outcome::NotStarted:
        return Result::None;
    case BackupRun::Outcome::Stopped:
        return Result::Failed;
    case BackupRun::Outcome::Cancelled:
        return Result::Cancelled;
    case BackupRun::Outcome::Completed:
        if (!archiveFailed)
            return Result::Made;
        if (cancelAsked)
            return Result::Cancelled;
        return archivesMade > 0 ? Result::Incomplete : Result::Failed;
    }
    return Result::None;
}

QByteArray LastBackup::keyword(Result result) {
    switch (result) {
    case Result::None:
        return QByteArray();
    case Result::Made:
        return "made";
    case Result::Incomplete:
        return "incomplete";
    case Result::Failed:
        return "failed";
    case Result::Cancelled:
        return "cancelled";
    }
    return QByteArray();
}

LastBackup::Result LastBackup::fromKeyword(const QByteArray& keyword) {
    for (Result result : {Result::Made, Result::Incomplete, Result::Failed, Result::Cancelled}) {
        if (keyword.compare(LastBackup::keyword(result), Qt::CaseInsensitive) == 0)
            return result;
    }
    return Result::None;
}

void LastBackup::load(const std::filesystem::path& settingsFile) {
    const platform::ProfileBatch ini(settingsFile); // one read of the file for the three keys
    const QDateTime ended = QDateTime::fromString(
        QString::fromLatin1(ini.readString(Section, EndKey, QByteArray())), Qt::ISODate);
    const Result result = fromKeyword(ini.readString(Section, ResultKey, QByteArray()));
    // A hand-edited or half-known record is no record.
    if (!ended.isValid() || result == Result::None) {
        m_result = Result::None;
        m_ended = QDateTime();
        m_bytes = 0;
    } else {
        m_result = result;
        m_ended = ended;
        bool ok = false;
        m_bytes = ini.readString(Section, BytesKey, "0").toULongLong(&ok);
        if (!ok)
            m_bytes = 0;
    }
    Q_EMIT changed();
}

QString LastBackup::record(Result result, quint64 bytes, const QDateTime& ended,
                           const std::filesystem::path& settingsFile) {
    if (result == Result::None)
        return QString();
    m_result = result;
    m_ended = ended;
    m_bytes = bytes;
    Q_EMIT changed();
    try {
        platform::ProfileBatch ini(settingsFile);
        ini.writeString(Section, EndKey, ended.toUTC().toString(Qt::ISODate).toLatin1());
        ini.writeString(Section, ResultKey, keyword(result));
        ini.writeString(Section, BytesKey, QByteArray::number(bytes));
        ini.commit();
    } catch (const platform::ProfileWriteError& error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

QString LastBackup::resultText() const {
    switch (m_result) {
    case Result::None:
        return QString();
    case Result::Made:
        return m_bytes > 0 ? QStringLiteral("made (%1)").arg(FormatSize(static_cast<qint64>(m_bytes)))
                           : QStringLiteral("made, nothing had changed");
    case Result::Incomplete:
        return QStringLiteral("incomplete, see the log (%1 made)")
            .arg(FormatSize(static_cast<qint64>(m_bytes)));
    case Result::Failed:
        return QStringLiteral("failed, see the log");
    case Result::Cancelled:
        return QStringLiteral("cancelled");
    }
    return QString();
}

QString LastBackup::statusText() const {
    if (m_result == Result::None)
        return QStringLiteral("No backup made yet");
    return QStringLiteral("Last backup: ") + Timestamp::text(m_ended.toLocalTime()) + QStringLiteral(", ") +
           resultText();
}

QString LastBackup::shortText() const {
    if (m_result == Result::None)
        return QStringLiteral("No backup yet");
    const QDateTime local = m_ended.toLocalTime();
    const QString when = local.date() == QDate::currentDate() ? Timestamp::longTime(local.time())
                                                              : Timestamp::shortDate(local.date());
    return QStringLiteral("Last backup ") + when + QStringLiteral(": ") +
           QString::fromLatin1(keyword(m_result));
}
