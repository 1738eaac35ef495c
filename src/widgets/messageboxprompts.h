#pragma once

#include "core/userprompts.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>

#include <chrono>
#include <functional>

class QWidget;

// The real prompts: QMessageBox and QFileDialog, parented to the given window.
// In an unattended run every notice and question is logged and closes itself after a
// wait; a question that closes so has no answer. Once one has gone unanswered nobody is
// taken to be there, and later ones close at once.
class MessageBoxPrompts : public UserPrompts {
public:
    using Logger = std::function<void(const QString& line)>;
    static constexpr std::chrono::milliseconds defaultUnattendedWait{5000};

    explicit MessageBoxPrompts(QWidget* parent = nullptr);

    bool ask(const QString& text) override;
    bool askDestructive(const QString& text) override;
    Answer answer(const QString& text) override;
    void notify(const QString& text) override;
    std::optional<std::filesystem::path> pickFolder(const QString& title, const QString& prompt,
                                                    const std::filesystem::path& start) override;

    void setParentWindow(QWidget* parent) { m_parent = parent; }
    QObject* ownerWindow() const override;
    void setOwnerWindow(QObject* window) override;
    void setUnattended(std::chrono::milliseconds wait, Logger logger);
    bool unattended() const { return m_unattended; }
    // The program is ending: every open box (one may be open inside another's wait) closes now
    // without an answer, later ones at once.
    void stopWaiting();

private:
    Answer answer(const QString& text, QMessageBox::StandardButton defaultButton);
    // Shows the box; in an unattended run it closes itself. Returns the clicked button.
    QAbstractButton* run(QMessageBox& box, const QString& text, const QString& kind);
    void log(const QString& line) const;
    QWidget* parentWindow() const;

    QWidget* m_parent;
    QPointer<QWidget> m_owner; // a window whose boxes these are for now, over m_parent
    bool m_unattended = false;
    bool m_nobodyThere = false;
    std::chrono::milliseconds m_wait = defaultUnattendedWait;
    Logger m_logger;
    // Innermost last.
    QList<QPointer<QMessageBox>> m_open;
};
