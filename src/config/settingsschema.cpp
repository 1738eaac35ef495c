#include "config/settingsschema.h"

#include <algorithm>
#include <climits>

namespace {

using T = SettingSpec::Type;
using G = SettingSpec::Geometry;
constexpr int kNoLimit = INT_MAX;

// setting, key, type, default, minimum, maximum, geometry, load order, save order, markers
constexpr std::array<SettingSpec, SettingsSchema::count> kSchema{{
    {Setting::X, "x", T::Integer, 0, INT_MIN, kNoLimit, G::MainWindow, -1, 0, nullptr, nullptr},
    {Setting::Y, "y", T::Integer, 0, INT_MIN, kNoLimit, G::MainWindow, -1, 1, nullptr, nullptr},
    {Setting::Width, "width", T::Integer, 420, INT_MIN, kNoLimit, G::MainWindow, -1, 2, nullptr, nullptr},
    {Setting::Height, "height", T::Integer, 250, INT_MIN, kNoLimit, G::MainWindow, -1, 3, nullptr, nullptr},
    {Setting::ToolbarX, "toolbar_x", T::Integer, 0, INT_MIN, kNoLimit, G::ToolbarWindow, -1, 4, nullptr,
     nullptr},
    {Setting::ToolbarY, "toolbar_y", T::Integer, 0, INT_MIN, kNoLimit, G::ToolbarWindow, -1, 5, nullptr,
     nullptr},
    {Setting::StartHidden, "start_hidden", T::Bool, 0, 0, 1, G::None, 0, 6, nullptr, "save_cfg2"},
    {Setting::TimerEnabled, "timer_enabled", T::Bool, 0, 0, 1, G::None, 1, 7, nullptr, nullptr},
    {Setting::NewOnly, "new_only", T::Bool, 0, 0, 1, G::None, 2, 8, nullptr, nullptr},
    {Setting::IncludeHidden, "include_hidden", T::Bool, 0, 0, 1, G::None, 3, 10, nullptr, nullptr},
    {Setting::MultiArchive, "multi_archive", T::Bool, 0, 0, 1, G::None, 4, 11, nullptr, nullptr},
    {Setting::DelPrev, "del_prev", T::Bool, 0, 0, 1, G::None, 5, 9, nullptr, nullptr},
    {Setting::NoComp, "no_comp", T::Bool, 0, 0, 1, G::None, 6, 12, nullptr, nullptr},
    {Setting::LowPriority, "low_priority", T::Bool, 0, 0, 1, G::None, 7, 13, nullptr, nullptr},
    {Setting::WindowFading, "window_fading", T::Bool, 0, 0, 1, G::None, 8, 15, "load_cfg_new",
     "save_cfg_newsettings"},
    {Setting::BackupLaunch, "backup_launch", T::Bool, 0, 0, 1, G::None, 9, 16, nullptr, nullptr},
    {Setting::BackupClose, "backup_close", T::Bool, 0, 0, 1, G::None, 10, 17, nullptr, nullptr},
    {Setting::NotifyDestination, "notify_destination", T::Bool, 0, 0, 1, G::None, 11, 18, nullptr, nullptr},
    {Setting::EachFolder, "each_folder", T::Bool, 0, 0, 1, G::None, 12, 19, nullptr, nullptr},
    {Setting::KeepLog, "keep_log", T::Bool, 0, 0, 1, G::None, 13, 20, nullptr, nullptr},
    {Setting::ToolbarMode, "toolbar_mode", T::Bool, 0, 0, 1, G::None, 14, 14, nullptr, nullptr},
    {Setting::ShowLog, "show_log", T::Bool, 0, 0, 1, G::None, 15, 21, nullptr, nullptr},
    {Setting::CleanLogs, "clean_logs", T::Bool, 1, 0, 1, G::None, 16, 23, nullptr, nullptr},
    {Setting::LogCleanDays, "log_clean_days", T::Integer, 7, 1, 30, G::None, 17, 26, nullptr, nullptr},
    {Setting::Voice, "voice", T::Integer, 1, -1, 4, G::None, 18, 27, nullptr, nullptr},
    {Setting::CleanBackups, "clean_backups", T::Bool, 0, 0, 1, G::None, 19, 24, nullptr, nullptr},
    {Setting::BackupCleanDays, "backup_clean_days", T::Integer, 30, 1, 365, G::None, 20, 25, nullptr,
     nullptr},
    {Setting::AutoCheck, "auto_check", T::Bool, 1, 0, 1, G::None, 21, 22, nullptr, nullptr},
    {Setting::TimerInterval, "timer_interval", T::Integer, 30, 5, 100000, G::None, 22, 28, "load_cfg3",
     "save_cfg3"},
    // Read and written after everything else: the sequences before it stay as they were.
    {Setting::DesktopNotifications, "desktop_notifications", T::Bool, 1, 0, 1, G::None, 24, 30, nullptr,
     nullptr},
    {Setting::Destination, "destination", T::Path, 0, 0, 0, G::None, 23, 29, nullptr, "save_cfg4"},
}};

constexpr bool schemaInEnumOrder() {
    for (std::size_t i = 0; i < kSchema.size(); ++i)
        if (static_cast<std::size_t>(kSchema[i].setting) != i)
            return false;
    return true;
}
static_assert(schemaInEnumOrder(), "one row per setting, in the order of the enum");

template <typename Order> std::array<const SettingSpec*, SettingsSchema::count> sequence(Order order) {
    std::array<const SettingSpec*, SettingsSchema::count> result{};
    for (std::size_t i = 0; i < kSchema.size(); ++i)
        result[i] = &kSchema[i];
    std::stable_sort(result.begin(), result.end(),
                     [order](const SettingSpec* a, const SettingSpec* b) { return order(*a) < order(*b); });
    return result;
}

} // namespace

const SettingSpec& SettingsSchema::spec(Setting setting) {
    return kSchema[static_cast<std::size_t>(setting)];
}

const std::array<SettingSpec, SettingsSchema::count>& SettingsSchema::all() {
    return kSchema;
}

const std::array<const SettingSpec*, SettingsSchema::count>& SettingsSchema::loadSequence() {
    static const auto order = sequence([](const SettingSpec& s) { return s.loadOrder; });
    return order;
}

const std::array<const SettingSpec*, SettingsSchema::count>& SettingsSchema::saveSequence() {
    static const auto order = sequence([](const SettingSpec& s) { return s.saveOrder; });
    return order;
}

int SettingsSchema::clamp(Setting setting, int value) {
    const SettingSpec& s = spec(setting);
    if (s.type == SettingSpec::Type::Bool)
        return value != 0 ? 1 : 0;
    return std::clamp(value, s.minimum, s.maximum);
}
