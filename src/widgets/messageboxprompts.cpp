#include "widgets/messageboxprompts.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

MessageBoxPrompts::MessageBoxPrompts(QWidget* parent)
    : m_parent(parent) {}

bool MessageBoxPrompts::ask(const QString& text) {
    const auto answer =
        QMessageBox::question(m_parent, QApplication::applicationDisplayName(), displayText(text),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    return answer != QMessageBox::No;
}

void MessageBoxPrompts::notify(const QString& text) {
    QMessageBox::information(m_parent, QApplication::applicationDisplayName(), displayText(text));
}

std::optional<std::filesystem::path> MessageBoxPrompts::pickFolder(const QString& title,
                                                                   const QString& prompt,
                                                                   const std::filesystem::path& start) {
    QFileDialog dialog(m_parent, title + QStringLiteral(" - ") + prompt,
                       QFile::decodeName(QByteArray::fromStdString(start.native())));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QByteArray bytes = QFile::encodeName(dialog.selectedFiles().constFirst());
    return std::filesystem::path(bytes.toStdString());
}
