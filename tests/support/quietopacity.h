#pragma once

#include <QByteArray>
#include <QtGlobal>

// The headless platform keeps a window's opacity but warns at every change; a fade would
// fill the test output with that warning. Everything else still reaches the log.
namespace QuietOpacity {
inline QtMessageHandler& previousHandler() {
    static QtMessageHandler handler = nullptr;
    return handler;
}

inline void install() {
    previousHandler() =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (message.contains(QLatin1String("does not support setting window opacity")))
                return;
            previousHandler()(type, context, message);
        });
}
} // namespace QuietOpacity
