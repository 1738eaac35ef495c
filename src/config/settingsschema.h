#pragma once

#include <array>
#include <cstddef>
#include <optional>

// Every value of the settings file's [settings] section, once: its key, its type, its default,
// its range, and where it comes in the load and save sequences. The loader, the saver, the model
// and the settings dialog all work from this table.
enum class Setting {
    X,
    Y,
    Width,
    Height,
    ToolbarX,
    ToolbarY,
    StartHidden,
    TimerEnabled,
    NewOnly,
    IncludeHidden,
    MultiArchive,
    DelPrev,
    NoComp,
    LowPriority,
    WindowFading,
    BackupLaunch,
    BackupClose,
    NotifyDestination,
    EachFolder,
    KeepLog,
    ToolbarMode,
    ShowLog,
    CleanLogs,
    LogCleanDays,
    Voice,
    CleanBackups,
    BackupCleanDays,
    AutoCheck,
    TimerInterval,
    DesktopNotifications,
    Destination,
};

struct SettingSpec {
    enum class Type { Bool, Integer, Path };
    // Which window's geometry a value belongs to: such a value is written only in its own mode,
    // and read by the windows themselves, not by the load.
    enum class Geometry { None, MainWindow, ToolbarWindow };

    Setting setting;
    const char* key;
    Type type;
    // The default of a missing key; geometry defaults depend on the screen and are left to the window.
    int defaultValue;
    // A stored number outside [minimum, maximum] is held to it, as the dialog's fields hold theirs.
    int minimum;
    int maximum;
    Geometry geometry;
    // Position in the load sequence (-1: not read by the load) and in the save sequence.
    int loadOrder;
    int saveOrder;
    // The event marker set before this value is read or written, if any.
    const char* loadMarker;
    const char* saveMarker;
};

class SettingsSchema {
public:
    static constexpr const char* section = "settings";
    static constexpr std::size_t count = static_cast<std::size_t>(Setting::Destination) + 1;

    static const SettingSpec& spec(Setting setting);
    static const std::array<SettingSpec, count>& all();
    // The values in the order the load reads them, and the order the save writes them.
    static const std::array<const SettingSpec*, count>& loadSequence();
    static const std::array<const SettingSpec*, count>& saveSequence();
    // The value held to the setting's range.
    static int clamp(Setting setting, int value);
};

// The three lists of the settings file: a count key holding the last index, then one key per entry.
struct SettingsListSpec {
    const char* section;
    const char* prefix;
};

namespace SettingsLists {
inline constexpr SettingsListSpec folders{"folders", "folder_"};
inline constexpr SettingsListSpec excludedFolders{"ex_folders", "ex_folder_"};
inline constexpr SettingsListSpec excludedTypes{"ex_types", "ex_type_"};
} // namespace SettingsLists
