#include "restore/restorelogtext.h"

#include "backupset/formatsize.h"
#include "log/pathtext.h"
#include "restore/restoremessages.h"

namespace {

QString archiveNames(const RestoreRequest& request) {
    QStringList names;
    for (const std::filesystem::path& archive : request.archives)
        names.append(pathText(archive.filename()));
    return names.join(QStringLiteral(", "));
}

} // namespace

QStringList RestoreLogText::restoreLines(const RestoreRequest& request, const RestoreReport& report) {
    const QString where =
        request.originalPlace ? QStringLiteral("their original places") : pathText(request.folder);
    QString summary =
        (report.cancelled ? QStringLiteral("Restore cancelled: ") : QStringLiteral("Restored: ")) +
        QStringLiteral("%1 files (%2) from %3 to %4")
            .arg(report.restoredFiles)
            .arg(FormatSize(static_cast<qint64>(report.restoredBytes)), archiveNames(request), where);
    summary += QStringLiteral("; already there %1, skipped %2, kept both %3, not restored %4")
                   .arg(report.alreadyThere)
                   .arg(report.skipped.size())
                   .arg(report.keptBoth)
                   .arg(report.problems.size());
    QStringList lines{summary};
    for (const RestoreReport::Problem& p : report.problems) {
        QString line = QStringLiteral("Not restored: ") + pathText(p.name) + QStringLiteral(": ") +
                       RestoreMessages::reasonText(p.reason);
        if (!p.detail.empty())
            line += QStringLiteral(" (") + QString::fromStdString(p.detail) + QStringLiteral(")");
        lines.append(line);
    }
    return lines;
}

QStringList RestoreLogText::verifyLines(const QString& archiveName, const ArchiveVerify::Result& result) {
    if (!result.readable)
        return {QStringLiteral("Verify: ") + archiveName + QStringLiteral(" cannot be read: ") +
                QString::fromStdString(result.error)};
    QString summary = QStringLiteral("Verify: ") + archiveName +
                      QStringLiteral(": %1 of %2 entries tested, %3 damaged")
                          .arg(result.checked)
                          .arg(result.entries)
                          .arg(result.damaged.size());
    if (result.cancelled)
        summary += QStringLiteral(" (cancelled)");
    QStringList lines{summary};
    for (const std::string& name : result.damaged)
        lines.append(QStringLiteral("Damaged in ") + archiveName + QStringLiteral(": ") + pathText(name));
    return lines;
}
