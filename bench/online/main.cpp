// Memory for a server's oversized answer: the fetch component asked for a 30 MB answer (the
// answers it expects are one short line) against the peer, `curl -o /dev/null` on the same
// answer from the same loopback server (python3's http.server in a child process). Prints the
// peak resident memory of each (the peer's through GNU time), our rise over what this process
// held before, and the ratio.
#include "online/httpfetch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

qint64 statusKiB(const QByteArray& field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

double mib(qint64 kib) {
    return double(kib) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 answerBytes = 30 * 1024 * 1024;
    QTemporaryDir dir;
    {
        QFile answer(dir.filePath(QStringLiteral("answer.txt")));
        if (!answer.open(QIODevice::WriteOnly))
            return 1;
        const QByteArray line(1024 * 1024, 'x');
        for (qint64 written = 0; written < answerBytes; written += line.size())
            answer.write(line);
    }
    QProcess server;
    server.start(QStringLiteral("python3"),
                 {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                  QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                  dir.path(), QStringLiteral("0")});
    if (!server.waitForReadyRead(20000)) {
        std::fprintf(stderr, "the loopback server did not start\n");
        return 1;
    }
    // "Serving HTTP on 127.0.0.1 port N (http://127.0.0.1:N/) ..."
    const QByteArray banner = server.readLine();
    const QByteArray port = banner.mid(banner.indexOf(" port ") + 6).split(' ').value(0);
    const QString url =
        QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(port) + QStringLiteral("/answer.txt");

    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    const bool peakReset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
    clear.close();
    const qint64 before = statusKiB("VmHWM:");
    HttpFetch http;
    http.properties().URL = url;
    bool failed = false;
    qint64 received = 0;
    QEventLoop loop;
    QObject::connect(&http, &HttpFetch::OnDoneString, &loop, [&](const QString& text) {
        received = text.size();
        loop.quit();
    });
    QObject::connect(&http, &HttpFetch::OnError, &loop, [&] {
        failed = true;
        loop.quit();
    });
    QElapsedTimer ours;
    ours.start();
    http.GetString();
    loop.exec();
    const qint64 oursMs = ours.elapsed();
    const qint64 peak = statusKiB("VmHWM:");

    // Through GNU time: a child of this process would count this process's peak as its own.
    QElapsedTimer peer;
    peer.start();
    QProcess curl;
    curl.start(QStringLiteral("/usr/bin/time"),
               {QStringLiteral("-f"), QStringLiteral("maxrss %M"), QStringLiteral("curl"),
                QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"), url});
    if (!curl.waitForStarted())
        std::fprintf(stderr, "GNU time (package time) is needed to measure the peer\n");
    curl.waitForFinished(120000);
    const qint64 peerMs = peer.elapsed();
    const int curlExit = curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -1;
    const QByteArray timeOutput = curl.readAllStandardError();
    const qint64 peerKiB = timeOutput.mid(timeOutput.lastIndexOf("maxrss ") + 7).trimmed().toLongLong();
    server.kill();
    server.waitForFinished();

    std::printf("answer: %.0f MiB from a loopback server\n", mib(answerBytes / 1024));
    std::printf("ours (HttpFetch, text mode): %s, peak RSS %.1f MiB, rise %.1f MiB%s, %lld ms\n",
                failed ? "failed (answer over the bound)"
                       : qPrintable(QStringLiteral("%1 chars").arg(received)),
                mib(peak), mib(peak - before), peakReset ? "" : " (peak not reset: rise is a lower bound)",
                static_cast<long long>(oursMs));
    std::printf("peer (curl -o /dev/null, whole answer): exit %d, peak RSS %.1f MiB, %lld ms\n", curlExit,
                mib(peerKiB), static_cast<long long>(peerMs));
    if (peerKiB > 0)
        std::printf("ratio ours/peer (peak RSS): %.2f\n", double(peak) / double(peerKiB));
    return 0;
}
