#pragma once

#include <cstdint>
#include <vector>

class QWidget;

// What a window manager on the X server says: whether it runs, and what it did with a window.
namespace windowmanagerprobe {

// The values of a property of a window (the root window for 0), as 32-bit items; empty when it
// is not set.
std::vector<std::uint32_t> property(std::uint32_t window, const char* name, std::uint32_t type,
                                    std::uint32_t items);
std::uint32_t atom(const char* name);
bool windowManagerRunning();
// Whether the window manager has taken the window in: it sets the window's WM_STATE then. A
// request sent before that is dropped. (The frame extents are no such sign: a window manager
// sets them when a window asks for them before it is even shown.)
bool managedByWindowManager(QWidget* window);

} // namespace windowmanagerprobe
