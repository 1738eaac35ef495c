#include "app/exitstatus.h"
#include "notificationmock.h"
#include "programwithdocs.h"

#include <QTest>

// How a backup ended, told on the desktop and kept for the next start: the real program with
// nobody at the screen, the desktop's notification service a recording mock on a private bus.
class TestBackupNotices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void everyEndOfAnUnattendedRunIsTold();
    void withoutTheServiceTheRunEndsAsUsual();
    void noticesCanBeTurnedOff();
};

namespace {

QByteArray statsValue(const InstalledProgram& p, const QByteArray& key) {
    for (const QByteArray& line : p.dir.readFile(QStringLiteral("Quoralis2005Config.ini")).split('\n'))
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1).trimmed();
    return {};
}

} // namespace

void TestBackupNotices::initTestCase() {
    const QString missing = DbusMock::missingTool();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void TestBackupNotices::everyEndOfAnUnattendedRunIsTold() {
    NotificationMock desktop;
    QVERIFY2(desktop.start(), qPrintable(desktop.error()));

    // Made: told, though it went well, because nobody watched it; kept in the settings.
    ProgramWithDocs made;
    made.environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(desktop.address()));
    made.settings();
    QCOMPARE(made.run(), int(ExitStatus::AllArchivesMade));
    QTRY_COMPARE(desktop.notices().size(), 1);
    NotificationMock::Notice notice = desktop.notices().constFirst();
    QCOMPARE(notice.application, QStringLiteral("Quoralis2005"));
    QCOMPARE(notice.summary, QStringLiteral("Quoralis2005: made"));
    QVERIFY2(notice.body.startsWith(QStringLiteral("Last backup: ")) &&
                 notice.body.contains(QStringLiteral("made (")),
             qPrintable(notice.body));
    QCOMPARE(notice.urgency, 1);
    QCOMPARE(statsValue(made, "last_backup_result"), QByteArray("made"));
    QVERIFY(QDateTime::fromString(QString::fromLatin1(statsValue(made, "last_backup_end")), Qt::ISODate)
                .isValid());
    QVERIFY(statsValue(made, "last_backup_bytes").toULongLong() > 0);

    // A listed folder missing: incomplete, urgent.
    ProgramWithDocs incomplete;
    incomplete.environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                  QString::fromUtf8(desktop.address()));
    incomplete.InstalledProgram::settings({}, {QStringLiteral("data/Docs"), QStringLiteral("data/Gone")});
    QCOMPARE(incomplete.run(), int(ExitStatus::BackupIncomplete));
    QTRY_COMPARE(desktop.notices().size(), 2);
    notice = desktop.notices().at(1);
    QCOMPARE(notice.summary, QStringLiteral("Quoralis2005: incomplete"));
    QCOMPARE(notice.urgency, 2);
    QCOMPARE(statsValue(incomplete, "last_backup_result"), QByteArray("incomplete"));

    // Ended by the session while the engine works: cancelled.
    ProgramWithDocs cancelled;
    cancelled.environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                 QString::fromUtf8(desktop.address()));
    cancelled.settings();
    cancelled.holdEngineAt(QStringLiteral("writing"));
    cancelled.start();
    cancelled.terminateWhenHeld();
    QVERIFY(cancelled.endsByItself());
    QTRY_COMPARE(desktop.notices().size(), 3);
    QCOMPARE(desktop.notices().at(2).summary, QStringLiteral("Quoralis2005: cancelled"));
    QCOMPARE(statsValue(cancelled, "last_backup_result"), QByteArray("cancelled"));
}

void TestBackupNotices::withoutTheServiceTheRunEndsAsUsual() {
    // A bus without a notification service, and no bus at all.
    NotificationMock otherService;
    QVERIFY2(otherService.start(), qPrintable(otherService.error()));
    for (const QString& address : {QStringLiteral("unix:path=/nonexistent/bus"), QString()}) {
        ProgramWithDocs p;
        if (address.isEmpty())
            p.environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        else
            p.environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        p.settings();
        QCOMPARE(p.run(), int(ExitStatus::AllArchivesMade));
        QVERIFY(p.lastLog().contains(" - Closing Quoralis2005 v."));
        QCOMPARE(statsValue(p, "last_backup_result"), QByteArray("made"));
    }
    QCOMPARE(otherService.notices().size(), 0);
}

void TestBackupNotices::noticesCanBeTurnedOff() {
    NotificationMock desktop;
    QVERIFY2(desktop.start(), qPrintable(desktop.error()));
    ProgramWithDocs p;
    p.environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(desktop.address()));
    p.InstalledProgram::settings("desktop_notifications=0\n",
                                 {QStringLiteral("data/Docs"), QStringLiteral("data/Gone")});
    QCOMPARE(p.run(), int(ExitStatus::BackupIncomplete));
    // A notice sent would have come before the program ended.
    QTest::qWait(200);
    QCOMPARE(desktop.notices().size(), 0);
}

QTEST_MAIN(TestBackupNotices)
#include "tst_backupnotices.moc"
