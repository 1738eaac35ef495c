#include "app/starthandover.h"

#include "app/exitstatus.h"
#include "app/singleinstance.h"
#include "core/userprompts.h"
#include "log/activitylog.h"
#include "log/logfilewriter.h"
#include "platform/profilefile.h"
#include "platform/systeminfo.h"

#include <cstdio>
#include <stdexcept>
#include <system_error>

StartHandOver::StartHandOver(SingleInstance& guard, const QStringList& arguments, UserPrompts& prompts)
    : m_guard(guard)
    , m_arguments(arguments)
    , m_prompts(prompts)
    , m_unattended(SingleInstance::isUnattendedStart(arguments)) {}

std::optional<int> StartHandOver::run(const std::filesystem::path& settingsFile,
                                      const std::filesystem::path& logFolder) {
    switch (handOver()) {
    case Result::Ends:
        return m_status;
    case Result::RunsFirst:
        // Ended while it took over: a scheduled start made no backup.
        if (m_guard.isWithdrawn())
            return int(m_unattended ? ExitStatus::BackupIncomplete : ExitStatus::AllArchivesMade);
        return std::nullopt;
    case Result::NotAnswered:
        reportNotAnswered(settingsFile, logFolder);
        return int(ExitStatus::BackupIncomplete);
    case Result::Withdrawn:
        return int(ExitStatus::BackupIncomplete);
    }
    return int(ExitStatus::BackupIncomplete);
}

StartHandOver::Result StartHandOver::handOver() {
    for (;;) {
        const SingleInstance::Forwarded forwarded = m_guard.forward(m_arguments);
        switch (forwarded.outcome) {
        case SingleInstance::Outcome::Handed:
            m_status = 0;
            return Result::Ends;
        case SingleInstance::Outcome::Finished:
            m_status = forwarded.exitStatus;
            return Result::Ends;
        case SingleInstance::Outcome::BecamePrimary:
            return Result::RunsFirst;
        case SingleInstance::Outcome::NotAnswered:
            return Result::NotAnswered;
        case SingleInstance::Outcome::Withdrawn:
            return Result::Withdrawn;
        case SingleInstance::Outcome::PrimaryUnattended:
            switch (m_guard.waitForPrimaryToEnd()) {
            case SingleInstance::Wait::BecamePrimary:
                return Result::RunsFirst;
            case SingleInstance::Wait::PrimaryReady:
                continue;
            case SingleInstance::Wait::Failed:
                return Result::NotAnswered;
            case SingleInstance::Wait::Withdrawn:
                return Result::Withdrawn;
            }
        }
    }
}

void StartHandOver::reportNotAnswered(const std::filesystem::path& settingsFile,
                                      const std::filesystem::path& logFolder) {
    const QString line = QString::fromLatin1(notAnsweredLine);
    std::fprintf(stderr, "%s\n", notAnsweredLine);
    std::fflush(stderr);
    if (!m_unattended) {
        m_prompts.notify(line + QStringLiteral(". End that copy, then start Quoralis2005 again."));
        return;
    }
    // The other copy may be writing the settings file: it is only read here, never saved.
    if (!platform::ProfileFile(settingsFile).readBool("settings", "keep_log", false))
        return;
    ActivityLog log;
    log.logMessage(line);
    std::error_code ignored;
    std::filesystem::create_directories(logFolder, ignored);
    try {
        LogFileWriter::write(platform::SystemInfo::folderText(logFolder), log.lines());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
}
