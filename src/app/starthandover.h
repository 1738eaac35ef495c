#pragma once

#include <QStringList>

#include <filesystem>
#include <optional>

class SingleInstance;
class UserPrompts;

// A start on a settings file that another copy runs on: hands its command line over and waits as
// long as the outcome needs. A start that no living copy served says why, and ends with
// ExitStatus::BackupIncomplete: an unattended one in its own log (when logs are kept) and on
// stderr, never in a box; an interactive one in a box.
class StartHandOver {
public:
    static constexpr const char* notAnsweredLine =
        "Another copy of Quoralis2005 runs on this settings file but did not answer; no backup made";

    StartHandOver(SingleInstance& guard, const QStringList& arguments, UserPrompts& prompts);

    // The exit status when this copy is to end; nothing when it is to run as the first copy.
    std::optional<int> run(const std::filesystem::path& settingsFile, const std::filesystem::path& logFolder);

private:
    enum class Result { Ends, RunsFirst, NotAnswered, Withdrawn };

    Result handOver();
    void reportNotAnswered(const std::filesystem::path& settingsFile, const std::filesystem::path& logFolder);

    SingleInstance& m_guard;
    QStringList m_arguments;
    UserPrompts& m_prompts;
    bool m_unattended;
    int m_status = 0;
};
