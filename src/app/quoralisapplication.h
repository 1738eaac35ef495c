#pragma once

#include <QApplication>

#include <functional>

// The application object: an exception that escapes any event handler, timer or menu
// command is handed to the unhandled-error handler, and the program goes on.
class QuoralisApplication : public QApplication {
    Q_OBJECT
public:
    using ErrorHandler = std::function<void(const QString& message)>;

    QuoralisApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
    void setUnhandledErrorHandler(ErrorHandler handler) { m_handler = std::move(handler); }
    // Reports an error to the handler (or to stderr before one is installed).
    void reportUnhandledError(const QString& message);

    static QuoralisApplication* instance();

private:
    ErrorHandler m_handler;
};
