#pragma once

#include "core/userprompts.h"

#include <QQueue>
#include <QStringList>

#include <functional>

// Answers the program's questions from a script and records every text shown.
// A question or picker that the script did not expect fails the running test. Like the
// real boxes, a question can end without an answer, and only a Yes is consent.
class ScriptedPrompts : public UserPrompts {
public:
    bool ask(const QString& text) override;
    bool askDestructive(const QString& text) override;
    Answer answer(const QString& text) override;
    void notify(const QString& text) override;
    std::optional<std::filesystem::path> pickFolder(const QString& title, const QString& prompt,
                                                    const std::filesystem::path& start) override;
    QObject* ownerWindow() const override { return m_owner; }
    void setOwnerWindow(QObject* window) override { m_owner = window; }

    void queueAnswer(bool yes) { m_answers.enqueue(yes ? Answer::Yes : Answer::No); }
    // The next question closes without a choice, as a box does that was never shown.
    void queueNoAnswer() { m_answers.enqueue(Answer::None); }
    void queueFolder(std::optional<std::filesystem::path> folder) { m_folders.enqueue(std::move(folder)); }

    // Every question and notice in order, questions prefixed "ask: ", notices "notify: ".
    QStringList shown;
    // The window each of them belonged to, in the same order (null: the program's main window).
    QList<QObject*> owners;
    QStringList questions() const;
    QStringList notices() const;
    // The questions asked with No as their default.
    QStringList destructiveQuestions;
    std::filesystem::path lastPickerStart;
    // Called with every question and notice as it is shown, to look at the program meanwhile.
    std::function<void(const QString& text)> onShow;
    bool allAnswersUsed() const { return m_answers.isEmpty() && m_folders.isEmpty(); }

private:
    QObject* m_owner = nullptr;
    QQueue<Answer> m_answers;
    QQueue<std::optional<std::filesystem::path>> m_folders;
};
