#pragma once

#include <filesystem>

// The progress widgets of the main window and the toolbar window, as the archive job and
// the component's events drive them.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    // Bars to 0, the toolbar window's bar and cancel button and the progress panel shown.
    virtual void prepareForNewArchive() = 0;
    virtual void showCurrentFile(const std::filesystem::path& file) = 0;
    virtual void showPercent(int percent) = 0;
};
