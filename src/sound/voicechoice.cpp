#include "sound/voicechoice.h"

namespace {

// Good news: silenced by "only critical".
bool isGoodNews(const QString& eventName) {
    return eventName == QLatin1String("backup_completed") ||
           eventName == QLatin1String("backups_completed") || eventName == QLatin1String("latest") ||
           eventName == QLatin1String("update");
}

} // namespace

bool VoiceChoice::allows(int choice, const QString& eventName, bool mainWindowVisible) {
    switch (choice) {
    case Off:
        return false;
    case OnlyCritical:
        return !isGoodNews(eventName);
    case OnlyWhenVisible:
        return mainWindowVisible;
    case OnlyWhenMinimized:
        return !mainWindowVisible;
    default:
        return true;
    }
}
