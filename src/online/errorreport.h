#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class EventMarker;
class HttpFetch;
class UserPrompts;

// Sends the report of an error that no handler dealt with to the web server, through the
// fetch component HTTP it owns. Once the server has answered, the answer is shown and the
// program ends; a report that could not be sent ends nothing.
class ErrorReport : public QObject {
    Q_OBJECT
public:
    // The marker is read when a report is sent, so it must outlive this object.
    explicit ErrorReport(const EventMarker& marker, QObject* parent = nullptr);

    // What sending needs: the prompts that show the server's answer, and how the program
    // ends once the answer has been read.
    void setReporting(UserPrompts* prompts, std::function<void()> endProgram);
    // Reports errorText with the user's address, or "anonymous" without one. Does nothing
    // while a report is on its way.
    void send(const QString& errorText, const std::optional<QString>& email);
    bool isSending() const;
    HttpFetch* HTTP() const { return m_http; }

Q_SIGNALS:
    void sendingStarted();
    void sendFailed();

private:
    void HTTPDoneString(const QString& answer);
    QString reportQuery(const QString& errorText, const std::optional<QString>& email) const;

    const EventMarker& m_marker;
    HttpFetch* m_http;
    UserPrompts* m_prompts = nullptr;
    std::function<void()> m_endProgram;
};
