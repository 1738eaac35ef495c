#pragma once

#include <QString>

// The "Voice alerts" setting: which event sounds play. The choice is the index of the
// settings dialog's item: -1 (none chosen) plays like "on".
class VoiceChoice {
public:
    enum Choice { Off = 0, On = 1, OnlyCritical = 2, OnlyWhenVisible = 3, OnlyWhenMinimized = 4 };

    // Whether the event's sound plays with this choice while the main window is or is not
    // shown (toolbar mode counts as not shown).
    static bool allows(int choice, const QString& eventName, bool mainWindowVisible);
};
