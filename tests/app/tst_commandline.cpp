// The switches a scheduler or shortcut passes: only exact, lower-case switches count, only the
// first argument is a switch, and "/minimize" counts only as the second.
#include "app/commandline.h"

#include <QTest>

Q_DECLARE_METATYPE(CommandLine::Backup)

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void switches_data();
    void switches();
    void textJoinsTheArguments();
};

void TestCommandLine::switches_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Backup>("backup");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<bool>("minimized");
    using B = CommandLine::Backup;
    const QString minimize = QStringLiteral("/minimize");
    QTest::newRow("none") << QStringList() << B::None << false << false;
    QTest::newRow("/auto") << QStringList{QStringLiteral("/auto")} << B::Auto << false << false;
    QTest::newRow("/autoclose") << QStringList{QStringLiteral("/autoclose")} << B::AutoClose << true << false;
    QTest::newRow("/autoshutdown") << QStringList{QStringLiteral("/autoshutdown")} << B::AutoShutdown << true
                                   << false;
    QTest::newRow("/auto /minimize") << QStringList{QStringLiteral("/auto"), minimize} << B::Auto << false
                                     << true;
    QTest::newRow("/autoclose /minimize")
        << QStringList{QStringLiteral("/autoclose"), minimize} << B::AutoClose << true << true;
    QTest::newRow("upper case is no switch")
        << QStringList{QStringLiteral("/AUTO")} << B::None << false << false;
    QTest::newRow("mixed case is no switch")
        << QStringList{QStringLiteral("/AutoClose")} << B::None << false << false;
    QTest::newRow("a dash is no switch") << QStringList{QStringLiteral("-auto")} << B::None << false << false;
    QTest::newRow("a prefix is no switch")
        << QStringList{QStringLiteral("/autos")} << B::None << false << false;
    QTest::newRow("/minimize first") << QStringList{minimize} << B::None << false << false;
    QTest::newRow("/minimize first, /auto second")
        << QStringList{minimize, QStringLiteral("/auto")} << B::None << false << false;
    QTest::newRow("/minimize third") << QStringList{QStringLiteral("/auto"), QStringLiteral("x"), minimize}
                                     << B::Auto << false << false;
    QTest::newRow("/MINIMIZE second")
        << QStringList{QStringLiteral("/auto"), QStringLiteral("/MINIMIZE")} << B::Auto << false << false;
    QTest::newRow("anything, /minimize")
        << QStringList{QStringLiteral("other"), minimize} << B::None << false << true;
}

void TestCommandLine::switches() {
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Backup, backup);
    QFETCH(bool, unattended);
    QFETCH(bool, minimized);
    const CommandLine commandLine(arguments);
    QCOMPARE(commandLine.backup(), backup);
    QCOMPARE(commandLine.asksForBackup(), backup != CommandLine::Backup::None);
    QCOMPARE(commandLine.isUnattended(), unattended);
    QCOMPARE(commandLine.shutsDown(), backup == CommandLine::Backup::AutoShutdown);
    QCOMPARE(commandLine.minimized(), minimized);
    QCOMPARE(commandLine.hasNoArguments(), arguments.isEmpty());
}

void TestCommandLine::textJoinsTheArguments() {
    QCOMPARE(CommandLine({QStringLiteral("/autoshutdown"), QStringLiteral("/minimize")}).spelledOut(),
             QStringLiteral("/autoshutdown /minimize"));
    QCOMPARE(CommandLine().spelledOut(), QString());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
