#include "restore/restoremessages.h"

#include "backupset/formatsize.h"
#include "log/pathtext.h"

namespace {

const QString LineBreak = QStringLiteral("\n\r");

QString nameText(const std::string& name) {
    return pathText(name);
}

void appendMore(QString& text, std::size_t total) {
    if (total > static_cast<std::size_t>(RestoreMessages::MaxListed))
        text += QStringLiteral("... and %1 more").arg(total - RestoreMessages::MaxListed) + LineBreak;
}

} // namespace

QString RestoreMessages::reasonText(RestoreReport::Reason reason) {
    switch (reason) {
    case RestoreReport::Reason::UnsafeName:
        return QStringLiteral("refused, the name leads outside the folder");
    case RestoreReport::Reason::Link:
        return QStringLiteral("refused, a symbolic link");
    case RestoreReport::Reason::Duplicate:
        return QStringLiteral("refused, a second entry of the same name");
    case RestoreReport::Reason::Damaged:
        return QStringLiteral("damaged in the backup");
    case RestoreReport::Reason::Unsupported:
        return QStringLiteral("kept, not readable here (encrypted, or compressed in a way this program "
                              "cannot read)");
    case RestoreReport::Reason::WriteFailed:
        return QStringLiteral("could not be written");
    case RestoreReport::Reason::Unreadable:
        return QStringLiteral("the backup cannot be read");
    }
    return QString();
}

QString RestoreMessages::reportText(const RestoreReport& report) {
    QString text =
        report.cancelled ? QStringLiteral("Restore cancelled.") : QStringLiteral("Restore finished.");
    text += LineBreak + QStringLiteral("Files restored: %1 (%2)")
                            .arg(report.restoredFiles)
                            .arg(FormatSize(static_cast<qint64>(report.restoredBytes)));
    if (report.alreadyThere > 0)
        text += LineBreak + QStringLiteral("Files already there: %1").arg(report.alreadyThere);
    if (!report.skipped.empty())
        text += LineBreak + QStringLiteral("Files kept as they were: %1").arg(report.skipped.size());
    if (!report.problems.empty()) {
        text += LineBreak + QStringLiteral("Not restored: %1").arg(report.problems.size()) + LineBreak;
        for (std::size_t i = 0; i < report.problems.size() && i < static_cast<std::size_t>(MaxListed); ++i) {
            const RestoreReport::Problem& p = report.problems[i];
            text += nameText(p.name) + QStringLiteral(": ") + reasonText(p.reason);
            if (!p.detail.empty())
                text += QStringLiteral(" (") + QString::fromStdString(p.detail) + QStringLiteral(")");
            text += LineBreak;
        }
        appendMore(text, report.problems.size());
    }
    return text;
}

QString RestoreMessages::verifyText(const QString& archiveName, const ArchiveVerify::Result& result) {
    if (!result.readable)
        return archiveName + QStringLiteral(" cannot be read: ") + QString::fromStdString(result.error);
    QString text = archiveName + LineBreak;
    if (result.cancelled)
        text += QStringLiteral("Verification cancelled after %1 of %2 entries.")
                    .arg(result.checked)
                    .arg(result.entries) +
                LineBreak;
    else
        text += QStringLiteral("Entries tested: %1").arg(result.checked) + LineBreak;
    QString unreadable;
    if (!result.unreadable.empty()) {
        unreadable = LineBreak +
                     QStringLiteral("Entries kept, not readable here (encrypted, or compressed in a way this "
                                    "program cannot read): %1")
                         .arg(result.unreadable.size()) +
                     LineBreak;
        for (std::size_t i = 0; i < result.unreadable.size() && i < static_cast<std::size_t>(MaxListed); ++i)
            unreadable += nameText(result.unreadable[i]) + LineBreak;
        appendMore(unreadable, result.unreadable.size());
    }
    if (result.damaged.empty()) {
        text += QStringLiteral("No damaged entries found.");
        return text + unreadable;
    }
    text += QStringLiteral("Damaged entries: %1").arg(result.damaged.size()) + LineBreak;
    for (std::size_t i = 0; i < result.damaged.size() && i < static_cast<std::size_t>(MaxListed); ++i)
        text += nameText(result.damaged[i]) + LineBreak;
    appendMore(text, result.damaged.size());
    text += QStringLiteral("The other entries can still be restored.");
    return text + unreadable;
}
