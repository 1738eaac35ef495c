#include "app/quoralisapplication.h"

#include <cstdio>
#include <exception>

QuoralisApplication::QuoralisApplication(int& argc, char** argv)
    : QApplication(argc, argv) {}

QuoralisApplication* QuoralisApplication::instance() {
    return qobject_cast<QuoralisApplication*>(QCoreApplication::instance());
}

bool QuoralisApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        reportUnhandledError(QString::fromUtf8(error.what()));
    } catch (...) {
        reportUnhandledError(QStringLiteral("Unknown error"));
    }
    return false;
}

void QuoralisApplication::reportUnhandledError(const QString& message) {
    if (m_handler)
        m_handler(message);
    else
        std::fprintf(stderr, "Unhandled error: %s\n", qPrintable(message));
}
