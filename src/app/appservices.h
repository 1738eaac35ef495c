#pragma once

class ShellOpener;
class UserPrompts;
namespace platform {
class ShutdownService;
}

// What the main window needs from outside the program; tests hand in recording fakes.
struct AppServices {
    UserPrompts* prompts = nullptr;
    ShellOpener* shell = nullptr;
    platform::ShutdownService* shutdown = nullptr;
};
