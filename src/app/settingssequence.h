#pragma once

#include <QByteArray>
#include <QList>

class ProgramParts;
struct SettingsListSpec;
namespace platform {
class ProfileBatch;
}

// The whole load and save of the settings file: the model's values and lists and the windows'
// geometry and mode, in the fixed order with its event markers and log lines. A load reads the file
// once; a save replaces it once, holding every key, and never happens before a load was complete.
class SettingsSequence {
public:
    explicit SettingsSequence(ProgramParts& parts);

    void LoadConfig();
    // checkOutdatedArchives: a save the user can watch offers outdated archives for deletion after it.
    void SaveConfig(bool checkOutdatedArchives);

private:
    // Logs, one line each, the entries in the file that a list's count or section leaves out.
    void logUnlisted(const platform::ProfileBatch& ini, const SettingsListSpec& list);
    QList<QByteArray> storable(const QList<QByteArray>& entries);
    void commitFile(platform::ProfileBatch& ini);

    ProgramParts& m_parts;
};
