#pragma once

#include "widgets/userprompts.h"

#include <QQueue>
#include <QStringList>

#include <functional>

// Answers the program's questions from a script and records every text shown.
// A question or picker that the script did not expect fails the running test.
class ScriptedPrompts : public UserPrompts {
public:
    bool ask(const QString& text) override;
    void notify(const QString& text) override;
    std::optional<std::filesystem::path> pickFolder(const QString& title, const QString& prompt,
                                                    const std::filesystem::path& start) override;

    void queueAnswer(bool yes) { m_answers.enqueue(yes); }
    void queueFolder(std::optional<std::filesystem::path> folder) { m_folders.enqueue(std::move(folder)); }

    // Every question and notice in order, questions prefixed "ask: ", notices "notify: ".
    QStringList shown;
    QStringList questions() const;
    QStringList notices() const;
    std::filesystem::path lastPickerStart;
    // Called with every question and notice as it is shown, to look at the program meanwhile.
    std::function<void(const QString& text)> onShow;
    bool allAnswersUsed() const { return m_answers.isEmpty() && m_folders.isEmpty(); }

private:
    QQueue<bool> m_answers;
    QQueue<std::optional<std::filesystem::path>> m_folders;
};
