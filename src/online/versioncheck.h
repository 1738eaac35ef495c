#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class ActivityLog;
class EventMarker;
class HttpFetch;
class UserPrompts;

// Asks the web server whether a newer version exists and handles its answer: a download
// address is offered (closing the program and opening it in the browser), any other text
// is logged and, for a check the user asked for, shown. Owns the fetch component UPDATER.
class VersionCheck : public QObject {
    Q_OBJECT
public:
    struct Context {
        ActivityLog* log = nullptr;
        EventMarker* marker = nullptr;
        UserPrompts* prompts = nullptr;
        // The program version; sets the event marker get_version.
        std::function<QString()> versionString;
        std::function<void(const QString& eventName)> playEventSound;
        // Hands a web address to the desktop's default handler.
        std::function<void(const QUrl& address)> openAddress;
        std::function<void()> saveConfig;
        // Closes the main window through its ordinary close sequence.
        std::function<void()> closeMainWindow;
    };

    explicit VersionCheck(Context context, QObject* parent = nullptr);

    void CheckVersion(bool automatic);
    HttpFetch* UPDATER() const { return m_updater; }

    // The download address an answer names, if it names one: the answer starts with
    // "http://" or "https://" (exact case) and is a valid address with a host.
    static std::optional<QUrl> downloadAddress(const QString& answer);

private:
    void UPDATERDoneString(const QString& answer);
    void UPDATERError();
    void reportFailure(const QString& reason);

    Context m_c;
    HttpFetch* m_updater;
    bool m_automatic = false;
};
