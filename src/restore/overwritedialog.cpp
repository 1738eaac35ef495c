#include "restore/overwritedialog.h"

#include "backupset/formatsize.h"
#include "core/userprompts.h"
#include "log/pathtext.h"
#include "log/timestamp.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString timeText(std::int64_t ns) {
    return Timestamp::text(QDateTime::fromMSecsSinceEpoch(ns / 1000000));
}

} // namespace

QString OverwriteDialog::text(const OverwriteQuestion& question) {
    const QString lineBreak = QStringLiteral("\n\r");
    QString text =
        QStringLiteral("This file exists already:") + lineBreak + pathText(question.existing) + lineBreak;
    if (question.existingIsNewer())
        text += QStringLiteral("The existing file is NEWER than the copy in the backup.") + lineBreak;
    text += QStringLiteral("Existing: ") + timeText(question.existingMtimeNs) + QStringLiteral(", ") +
            FormatSize(static_cast<qint64>(question.existingSize)) + lineBreak;
    text += QStringLiteral("In the backup: ") + timeText(question.backupMtimeNs) + QStringLiteral(", ") +
            FormatSize(static_cast<qint64>(question.backupSize));
    return text;
}

OverwriteAnswer OverwriteDialog::ask(QWidget* parent, const OverwriteQuestion& question) {
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Restore"));
    box.setIcon(question.existingIsNewer() ? QMessageBox::Warning : QMessageBox::Question);
    box.setTextFormat(Qt::PlainText);
    box.setText(UserPrompts::displayText(text(question)));
    QPushButton* replace = box.addButton(QStringLiteral("Replace"), QMessageBox::DestructiveRole);
    QPushButton* keepBoth = box.addButton(QStringLiteral("Keep both"), QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton(QStringLiteral("Skip"), QMessageBox::RejectRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    auto* forAll = new QCheckBox(QStringLiteral("Do the same for all"), &box);
    box.setCheckBox(forAll);
    box.exec();
    OverwriteAnswer answer;
    answer.forAll = forAll->isChecked();
    if (box.clickedButton() == replace)
        answer.choice = OverwriteChoice::Replace;
    else if (box.clickedButton() == keepBoth)
        answer.choice = OverwriteChoice::KeepBoth;
    else if (box.clickedButton() == skip)
        answer.choice = OverwriteChoice::Skip;
    else
        answer.choice = OverwriteChoice::Cancel; // closed without a choice: nothing is replaced
    return answer;
}
