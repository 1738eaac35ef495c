#include "log/eventmarker.h"
#include "loopbackhttpserver.h"
#include "online/errorreport.h"
#include "online/errorreportwindow.h"
#include "referenceserver.h"
#include "scriptedprompts.h"
#include "widgets/messageboxprompts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The error window on top of an error report sent to the project's web service on loopback.
class TestErrorReportWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void okSendsTheShownError();
    void addressIsSentOnlyWithTheBoxTicked_data();
    void addressIsSentOnlyWithTheBoxTicked();
    void reportThatCannotBeSentLeavesAClosableWindow();
    void errorAndAnswerAreShownAsPlainText();
};

namespace {

struct ReportRig {
    ScriptedPrompts prompts;
    int ends = 0;
    EventMarker marker;
    ErrorReport report{marker};
    ErrorReportWindow form{report};

    ReportRig() {
        report.setReporting(&prompts, [this] { ++ends; });
    }

    QPushButton* ok() { return form.findChild<QPushButton*>(QStringLiteral("BtOk")); }
    QLineEdit* email() { return form.findChild<QLineEdit*>(QStringLiteral("EMAIL")); }
    QCheckBox* emailBox() { return form.findChild<QCheckBox*>(QStringLiteral("cbEMAIL")); }
};

} // namespace

void TestErrorReportWindow::init() {
    // A port nobody listens at, unless a test names its own server.
    qputenv("QUORALIS_SERVER", "127.0.0.1:1");
}

void TestErrorReportWindow::okSendsTheShownError() {
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    ReportRig rig;
    // A second error before sending replaces the first one's message.
    rig.form.showError(QStringLiteral("first"));
    rig.form.showError(QStringLiteral("Disk is full"));
    QCOMPARE(rig.form.errorText(), QStringLiteral("Disk is full"));
    rig.marker.set(QStringLiteral("zip_done"));
    QCOMPARE(rig.ok()->text(), QStringLiteral("Ok"));
    QVERIFY(rig.ok()->isEnabled());
    QTest::mouseClick(rig.ok(), Qt::LeftButton);
    QCOMPARE(rig.ok()->text(), QStringLiteral("Connecting..."));
    QVERIFY(!rig.ok()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(rig.ends, 1, 20000);
    // The answer is shown, then the program ends.
    QCOMPARE(rig.prompts.notices(), QStringList(QStringLiteral("Thank you, your report has been received.")));

    const QJsonObject fields = server.reports().value(0).value(QStringLiteral("fields")).toObject();
    QCOMPARE(fields.value(QStringLiteral("exception")).toString(), QStringLiteral("Disk_is_full"));
    QCOMPARE(fields.value(QStringLiteral("event")).toString(), QStringLiteral("zip_done"));
    QCOMPARE(fields.value(QStringLiteral("email")).toString(), QStringLiteral("anonymous"));
}

void TestErrorReportWindow::addressIsSentOnlyWithTheBoxTicked_data() {
    QTest::addColumn<bool>("clickIntoEdit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("untickAfterTyping");
    QTest::addColumn<QString>("sent");
    const QString address = QStringLiteral("me+bugs@example.net");
    QTest::newRow("a click into the edit ticks the box") << true << address << false << address;
    QTest::newRow("untick after typing sends anonymous") << true << address << true << "anonymous";
    QTest::newRow("reached with Tab, never ticked") << false << address << false << "anonymous";
    QTest::newRow("ticked with nothing typed sends it empty") << true << QString() << false << "";
}

void TestErrorReportWindow::addressIsSentOnlyWithTheBoxTicked() {
    QFETCH(bool, clickIntoEdit);
    QFETCH(QString, typed);
    QFETCH(bool, untickAfterTyping);
    QFETCH(QString, sent);
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    ReportRig rig;
    rig.form.showError(QStringLiteral("Oops"));
    if (clickIntoEdit)
        QTest::mouseClick(rig.email(), Qt::LeftButton);
    else
        rig.email()->setFocus(Qt::TabFocusReason);
    QCOMPARE(rig.emailBox()->isChecked(), clickIntoEdit);
    QTest::keyClicks(rig.email(), typed);
    if (untickAfterTyping)
        rig.emailBox()->setChecked(false);
    QTest::mouseClick(rig.ok(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(rig.ends, 1, 20000);
    const QJsonObject fields = server.reports().value(0).value(QStringLiteral("fields")).toObject();
    QVERIFY(fields.contains(QStringLiteral("email")));
    QCOMPARE(fields.value(QStringLiteral("email")).toString(), sent);
}

void TestErrorReportWindow::reportThatCannotBeSentLeavesAClosableWindow() {
    qputenv("QUORALIS_SERVER", "127.0.0.1:1");
    ReportRig rig;
    rig.form.showError(QStringLiteral("Something failed"));
    QVERIFY(rig.form.isVisible());
    QTest::mouseClick(rig.ok(), Qt::LeftButton);
    auto* status = rig.form.findChild<QLabel*>(QStringLiteral("SendStatus"));
    QTRY_VERIFY_WITH_TIMEOUT(status->isVisible(), 20000);
    QVERIFY(status->text().contains(QStringLiteral("could not be sent")));
    QCOMPARE(rig.ends, 0);
    QVERIFY(rig.prompts.shown.isEmpty());
    QVERIFY(rig.ok()->isEnabled());
    QTest::mouseClick(rig.ok(), Qt::LeftButton);
    QVERIFY(!rig.form.isVisible());
    // The next error can be reported again.
    rig.form.showError(QStringLiteral("Another failure"));
    QVERIFY(!status->isVisible());
    QCOMPARE(rig.ok()->text(), QStringLiteral("Ok"));
    QVERIFY(rig.ok()->isEnabled());
}

void TestErrorReportWindow::errorAndAnswerAreShownAsPlainText() {
    // Neither a system's error text nor a server's answer may show pictures or carry links.
    LoopbackHttpServer server;
    const QByteArray answer = "<a href=\"file:///etc/passwd\">Thanks</a><img src=\"/etc/hostname\">";
    server.answerWith(200, answer);
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    MessageBoxPrompts prompts;
    int ends = 0;
    EventMarker marker;
    ErrorReport report(marker);
    ErrorReportWindow form(report);
    report.setReporting(&prompts, [&ends] { ++ends; });
    const QString error = QStringLiteral("<b>Cannot open</b> <a href=\"file:///etc/shadow\">x</a>");
    form.showError(error);
    auto* errLabel = form.findChild<QLabel*>(QStringLiteral("ErrLabel"));
    QCOMPARE(errLabel->textFormat(), Qt::PlainText);
    QCOMPARE(errLabel->text(), error);
    QVERIFY(!errLabel->openExternalLinks());

    Qt::TextFormat shownFormat = Qt::AutoText;
    QString shownText;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        shownFormat = label->textFormat();
        shownText = label->text();
        box->done(0);
    });
    watch.start(20);
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtOk")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(ends, 1, 20000);
    QCOMPARE(shownText, QString::fromLatin1(answer));
    QCOMPARE(shownFormat, Qt::PlainText);
}

QTEST_MAIN(TestErrorReportWindow)
#include "tst_errorreportwindow.moc"
