#include "config/settingsstore.h"

#include "platform/pathbytes.h"

#include "config/settingsmodel.h"
#include "platform/profilebatch.h"

#include <QSet>

#include <algorithm>
#include <optional>

namespace {

const char* const kSection = SettingsSchema::section;

void markBefore(const char* marker, const SettingsStore::Marker& mark) {
    if (marker && mark)
        mark(QString::fromLatin1(marker));
}

qint64 highestIndex(const platform::ProfileBatch& ini, const QByteArray& section, const QByteArray& prefix) {
    qint64 highest = -1;
    for (const QByteArray& key : ini.readKeys(section)) {
        if (key.size() <= prefix.size() || key.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        const qint64 index = key.mid(prefix.size()).toLongLong(&ok);
        if (ok && index > highest)
            highest = index;
    }
    return highest;
}

// The number of a list entry's key: the prefix and decimal digits only.
std::optional<qint64> entryIndex(const QByteArray& key, const QByteArray& prefix) {
    if (key.size() <= prefix.size() || key.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QByteArray digits = key.mid(prefix.size());
    if (!std::all_of(digits.cbegin(), digits.cend(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    bool ok = false;
    const qint64 index = digits.toLongLong(&ok);
    return ok ? std::optional<qint64>(index) : std::nullopt;
}

} // namespace

void SettingsStore::readValues(const platform::ProfileBatch& ini, SettingsModel& model, const Marker& mark) {
    for (const SettingSpec* spec : SettingsSchema::loadSequence()) {
        if (spec->loadOrder < 0)
            continue;
        markBefore(spec->loadMarker, mark);
        switch (spec->type) {
        case SettingSpec::Type::Bool:
            model.loadValue(spec->setting, ini.readBool(kSection, spec->key, spec->defaultValue != 0));
            break;
        case SettingSpec::Type::Integer:
            model.loadValue(spec->setting, ini.readInteger(kSection, spec->key, spec->defaultValue));
            break;
        case SettingSpec::Type::Path:
            model.setDestination(ini.readString(kSection, spec->key, QByteArray()).toStdString());
            break;
        }
    }
}

void SettingsStore::writeValues(platform::ProfileBatch& ini, SettingsModel& model, const Marker& mark) {
    const SettingSpec::Geometry shown = model.isOn(Setting::ToolbarMode)
                                            ? SettingSpec::Geometry::ToolbarWindow
                                            : SettingSpec::Geometry::MainWindow;
    for (const SettingSpec* spec : SettingsSchema::saveSequence()) {
        if (spec->geometry != SettingSpec::Geometry::None && spec->geometry != shown)
            continue;
        markBefore(spec->saveMarker, mark);
        switch (spec->type) {
        case SettingSpec::Type::Bool:
            ini.writeBool(kSection, spec->key, model.isOn(spec->setting));
            break;
        case SettingSpec::Type::Integer:
            ini.writeInteger(kSection, spec->key, model.number(spec->setting));
            break;
        case SettingSpec::Type::Path:
            ini.writeString(kSection, spec->key,
                            QByteArray::fromStdString(pathBytes(model.terminatedDestination())));
            break;
        }
    }
}

QList<QByteArray> SettingsStore::readList(const platform::ProfileBatch& ini, const SettingsListSpec& list) {
    const QByteArray section(list.section);
    const QByteArray prefix(list.prefix);
    // The count is the last index; -1 is an empty list.
    const int count = ini.readInteger(section, prefix + "count", 0);
    const qint64 last = qMin<qint64>(count, highestIndex(ini, section, prefix));
    QList<QByteArray> entries;
    for (qint64 i = 0; i <= last; ++i) {
        QByteArray value = ini.readString(section, prefix + QByteArray::number(i), QByteArray());
        if (!value.isEmpty())
            entries.append(std::move(value));
    }
    return entries;
}

QList<SettingsStore::UnlistedEntry> SettingsStore::readUnlisted(const platform::ProfileBatch& ini,
                                                                const SettingsListSpec& list) {
    const QByteArray section(list.section);
    const QByteArray prefix(list.prefix);
    const int count = ini.readInteger(section, prefix + "count", 0);
    QList<UnlistedEntry> unlisted;
    QSet<qint64> seen;
    for (const QByteArray& key : ini.readKeys(section)) {
        const std::optional<qint64> index = entryIndex(key, prefix);
        // A repeated key reads as its first occurrence.
        if (!index || *index <= count || seen.contains(*index))
            continue;
        seen.insert(*index);
        QByteArray value = ini.readString(section, key, QByteArray());
        if (!value.isEmpty())
            unlisted.append({key, std::move(value), false});
    }
    for (auto& [key, value] : ini.readLaterSectionEntries(section)) {
        if (entryIndex(key, prefix) && !value.isEmpty())
            unlisted.append({key, value, true});
    }
    return unlisted;
}

void SettingsStore::writeList(platform::ProfileBatch& ini, const SettingsListSpec& list,
                              const QList<QByteArray>& entries, bool eraseWhenEmpty) {
    const QByteArray section(list.section);
    const QByteArray prefix(list.prefix);
    if (eraseWhenEmpty && entries.isEmpty())
        ini.eraseSection(section);
    ini.writeInteger(section, prefix + "count", static_cast<int>(entries.size()) - 1);
    for (int i = 0; i < entries.size(); ++i)
        ini.writeString(section, prefix + QByteArray::number(i), entries.at(i));
}
