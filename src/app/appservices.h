#pragma once

#include <filesystem>
#include <functional>

class ShellOpener;
class UserPrompts;
namespace platform {
class DesktopNotifier;
class ShutdownService;
class WaveOutput;
} // namespace platform

// What the main window needs from outside the program; tests hand in recording fakes.
struct AppServices {
    UserPrompts* prompts = nullptr;
    ShellOpener* shell = nullptr;
    platform::ShutdownService* shutdown = nullptr;
    platform::DesktopNotifier* notifier = nullptr; // none: no desktop notifications
    platform::WaveOutput* waveOutput = nullptr;    // none: the program is silent
    // Whether the desktop shows a tray; empty asks the system.
    std::function<bool()> trayAvailable;
    // Where the settings file and the log files are; empty: beside the program (a portable copy).
    std::filesystem::path settingsFile;
    std::filesystem::path logDirectory;
};
