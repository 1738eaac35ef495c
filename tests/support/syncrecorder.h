#pragma once

#include <QProcessEnvironment>
#include <QString>

// The environment of a child process whose syncs and new file names the preloaded recorder writes
// to `log`; with failSyncs every sync of a regular file fails.
inline QProcessEnvironment syncRecorderEnvironment(const QString& recorder, const QString& log,
                                                   bool failSyncs = false) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), recorder);
    environment.insert(QStringLiteral("SYNCRECORDER_LOG"), log);
    // A sanitizer's runtime would otherwise refuse to come after a preloaded library.
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) +
                           QStringLiteral("verify_asan_link_order=0"));
    if (failSyncs)
        environment.insert(QStringLiteral("SYNCRECORDER_FAIL"), QStringLiteral("1"));
    return environment;
}
