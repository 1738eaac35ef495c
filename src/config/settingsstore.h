#pragma once

#include "config/settingsschema.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class SettingsModel;
namespace platform {
class ProfileBatch;
}

// Reads the values of the settings file into the model and writes them back, in the order and
// with the event markers the schema gives; and reads and writes the three lists.
class SettingsStore {
public:
    using Marker = std::function<void(const QString& code)>;

    // Every value the load reads (not the windows' geometry).
    static void readValues(const platform::ProfileBatch& ini, SettingsModel& model, const Marker& mark);
    // Every value; the geometry of the window whose mode is on only.
    static void writeValues(platform::ProfileBatch& ini, SettingsModel& model, const Marker& mark);

    // The entries from index 0 to the count key, empty ones skipped. A count beyond the highest
    // index present reads nothing more, so a damaged count cannot make the load run for ever.
    static QList<QByteArray> readList(const platform::ProfileBatch& ini, const SettingsListSpec& list);
    // An entry in the list's sections that the list does not take, as the Windows profile
    // functions read the file: its number is beyond the count key, or it stands in a later
    // section of the list's name (a section is found by its first occurrence).
    struct UnlistedEntry {
        QByteArray key;
        QByteArray value;
        bool inLaterSection;
    };
    // Every such entry that is not empty, in file order.
    static QList<UnlistedEntry> readUnlisted(const platform::ProfileBatch& ini, const SettingsListSpec& list);

    // The count key, then one key per entry. A shorter list leaves the higher keys of a longer
    // earlier one; they are never read, because reading stops at the count.
    static void writeList(platform::ProfileBatch& ini, const SettingsListSpec& list,
                          const QList<QByteArray>& entries, bool eraseWhenEmpty);
};
