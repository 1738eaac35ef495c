#include "referenceserver.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <algorithm>

ReferenceServer::ReferenceServer() {
    setLatest(QStringLiteral("0.0.0.0"), QString());
}

ReferenceServer::~ReferenceServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool ReferenceServer::start() {
    const QString script =
        qEnvironmentVariable("QUORALIS_SOURCE_DIR") + QStringLiteral("/tools/webservice/server.py");
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral("python3"),
                    {script, QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--latest"),
                     m_dir.filePath(QStringLiteral("latest.txt")), QStringLiteral("--reports"),
                     m_dir.filePath(QStringLiteral("reports")), QStringLiteral("--request-log"),
                     m_dir.filePath(QStringLiteral("requests.jsonl"))});
    if (!m_process.waitForStarted() || !m_process.waitForReadyRead(20000)) {
        m_error =
            QStringLiteral("server did not start: ") + QString::fromUtf8(m_process.readAllStandardError());
        return false;
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("listening on ")) {
        m_error = QStringLiteral("unexpected first line: ") + QString::fromUtf8(line);
        return false;
    }
    m_address = QString::fromUtf8(line.mid(13));
    return true;
}

void ReferenceServer::setLatest(const QString& version, const QString& download, const QString& message) {
    QFile file(m_dir.filePath(QStringLiteral("latest.txt")));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QString text =
        QStringLiteral("version=") + version + QStringLiteral("\ndownload=") + download + QLatin1Char('\n');
    if (!message.isEmpty())
        text += QStringLiteral("message=") + message + QLatin1Char('\n');
    file.write(text.toUtf8());
}

QList<QJsonObject> ReferenceServer::reports() const {
    QList<QJsonObject> result;
    const QDir dir(m_dir.filePath(QStringLiteral("reports")));
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::ReadOnly);
        result.append(QJsonDocument::fromJson(file.readAll()).object());
    }
    std::sort(result.begin(), result.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a.value(QStringLiteral("received")).toString() <
               b.value(QStringLiteral("received")).toString();
    });
    return result;
}

QList<QJsonObject> ReferenceServer::requests() const {
    QList<QJsonObject> result;
    QFile file(m_dir.filePath(QStringLiteral("requests.jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            result.append(QJsonDocument::fromJson(line).object());
    return result;
}
