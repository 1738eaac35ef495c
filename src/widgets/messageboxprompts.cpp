#include "widgets/messageboxprompts.h"

#include "platform/pathbytes.h"
#include "widgets/promptplacement.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

MessageBoxPrompts::MessageBoxPrompts(QWidget* parent)
    : m_parent(parent) {}

QObject* MessageBoxPrompts::ownerWindow() const {
    return m_owner;
}

void MessageBoxPrompts::setOwnerWindow(QObject* window) {
    m_owner = qobject_cast<QWidget*>(window);
}

QWidget* MessageBoxPrompts::parentWindow() const {
    return m_owner ? m_owner.data() : m_parent;
}

void MessageBoxPrompts::setUnattended(std::chrono::milliseconds wait, Logger logger) {
    m_unattended = true;
    m_wait = wait;
    m_logger = std::move(logger);
}

void MessageBoxPrompts::stopWaiting() {
    m_unattended = true;
    m_nobodyThere = true;
    for (const QPointer<QMessageBox>& box : std::as_const(m_open)) {
        if (box)
            box->done(-1);
    }
}

void MessageBoxPrompts::log(const QString& line) const {
    if (m_logger)
        m_logger(line);
}

QAbstractButton* MessageBoxPrompts::run(QMessageBox& box, const QString& text, const QString& kind) {
    // Texts often hold what others wrote (a server's answer, a file name, a system error): shown as
    // rich text they could load images and carry links to any address.
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    PromptPlacement::apply(&box, parentWindow());
    if (m_unattended)
        log(kind + displayText(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    QTimer selfClose;
    if (m_unattended) {
        selfClose.setSingleShot(true);
        QObject::connect(&selfClose, &QTimer::timeout, &box, [&box] { box.done(-1); });
        selfClose.start(m_nobodyThere ? std::chrono::milliseconds(0) : m_wait);
    }
    m_open.append(&box);
    box.exec();
    m_open.removeAll(&box);
    QAbstractButton* clicked = box.clickedButton();
    if (m_unattended && !clicked)
        m_nobodyThere = true;
    return clicked;
}

UserPrompts::Answer MessageBoxPrompts::answer(const QString& text) {
    return answer(text, QMessageBox::Yes);
}

bool MessageBoxPrompts::askDestructive(const QString& text) {
    return answer(text, QMessageBox::No) == Answer::Yes;
}

UserPrompts::Answer MessageBoxPrompts::answer(const QString& text,
                                              QMessageBox::StandardButton defaultButton) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), displayText(text),
                    QMessageBox::Yes | QMessageBox::No, parentWindow());
    box.setDefaultButton(defaultButton);
    // A box that never ran its loop (the application is quitting) or was closed by its
    // wait has no clicked button: that is no answer, never a Yes.
    QAbstractButton* clicked = run(box, text, QStringLiteral("Question: "));
    Answer result = Answer::None;
    if (clicked == box.button(QMessageBox::Yes))
        result = Answer::Yes;
    else if (clicked == box.button(QMessageBox::No))
        result = Answer::No;
    if (m_unattended)
        log(result == Answer::Yes  ? QStringLiteral("Answered: Yes")
            : result == Answer::No ? QStringLiteral("Answered: No")
                                   : QStringLiteral("No answer: taken as No"));
    return result;
}

bool MessageBoxPrompts::ask(const QString& text) {
    return answer(text) == Answer::Yes;
}

void MessageBoxPrompts::notify(const QString& text) {
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), displayText(text),
                    QMessageBox::Ok, parentWindow());
    run(box, text, QStringLiteral("Notice: "));
}

std::optional<std::filesystem::path> MessageBoxPrompts::pickFolder(const QString& title,
                                                                   const QString& prompt,
                                                                   const std::filesystem::path& start) {
    QFileDialog dialog(parentWindow(), title + QStringLiteral(" - ") + prompt,
                       QFile::decodeName(QByteArray::fromStdString(pathBytes(start))));
    PromptPlacement::apply(&dialog, parentWindow());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QByteArray bytes = QFile::encodeName(dialog.selectedFiles().constFirst());
    return std::filesystem::path(bytes.toStdString());
}
