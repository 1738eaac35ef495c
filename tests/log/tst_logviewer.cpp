#include "log/activitylog.h"
#include "log/logtextarea.h"
#include "log/logviewer.h"

#include <QFrame>
#include <QScrollBar>
#include <QTest>

// The log viewer keeps the newest line readable: it follows the end through new lines and new
// widths unless the user scrolled away, and its "hide" button never sits on text.
class LogViewerTest : public QObject {
    Q_OBJECT

    struct Viewer {
        ActivityLog log;
        LogViewer form{log, QStringLiteral("/nonexistent-skins")};

        Viewer() {
            form.resize(483, 80);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
        }
        void logLines(int count, const QString& text) {
            for (int i = 0; i < count; ++i)
                log.logMessage(text + QString::number(i));
            QCoreApplication::processEvents();
        }
        bool lastLineFullyVisible() const {
            QCoreApplication::processEvents();
            return form.LOG()->lastLineInSight();
        }
    };

    static QString longText() {
        return QStringLiteral("Added folder /home/somebody/Documents/a rather long folder name that wraps ");
    }

private Q_SLOTS:
    void followsTheNewestLineThroughWidthChanges() {
        Viewer v;
        v.logLines(30, longText());
        QVERIFY(v.lastLineFullyVisible());
        // Narrower (more rows per line), wider, lower, higher: after each the last line is in
        // sight, and so are the lines logged after it.
        for (const QSize size :
             {QSize(260, 80), QSize(700, 80), QSize(700, 60), QSize(483, 80), QSize(220, 100)}) {
            v.form.resize(size);
            QVERIFY2(v.lastLineFullyVisible(),
                     qPrintable(QStringLiteral("after %1x%2").arg(size.width()).arg(size.height())));
            v.logLines(2, longText());
            QVERIFY2(v.lastLineFullyVisible(),
                     qPrintable(QStringLiteral("new lines at %1x%2").arg(size.width()).arg(size.height())));
        }
    }

    void aUserWhoScrolledUpStaysWhereTheyAre() {
        Viewer v;
        v.logLines(40, longText());
        QScrollBar* bar = v.form.LOG()->verticalScrollBar();
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(bar->value(), 0);
        QVERIFY(!v.form.LOG()->followsEnd());
        v.logLines(5, longText());
        v.form.resize(300, 80);
        QCoreApplication::processEvents();
        QVERIFY(!v.lastLineFullyVisible());
        QVERIFY(bar->value() < bar->maximum());
        // Back at the end, it follows again.
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        QVERIFY(v.form.LOG()->followsEnd());
        v.logLines(5, longText());
        v.form.resize(483, 80);
        QVERIFY(v.lastLineFullyVisible());
    }

    void linesLoggedWhileHiddenAreInSightWhenShown() {
        Viewer v;
        v.form.hide();
        v.logLines(30, longText());
        v.form.resize(250, 80);
        v.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v.form));
        QVERIFY(v.lastLineFullyVisible());
    }

    void theHideButtonNeverCoversText_data() {
        QTest::addColumn<int>("width");
        QTest::newRow("design width") << 483;
        QTest::newRow("narrow") << 200;
        QTest::newRow("wide") << 1100;
    }
    void theHideButtonNeverCoversText() {
        QFETCH(int, width);
        Viewer v;
        v.logLines(10, longText());
        v.form.resize(width, 80);
        QCoreApplication::processEvents();
        QFrame* panel = v.form.HP();
        panel->setVisible(true);
        QCOMPARE(panel->x(), width - LogViewer::kHidePanelFromRight);
        QWidget* text = v.form.LOG()->viewport();
        const QRect textArea(text->mapTo(&v.form, QPoint(0, 0)), text->size());
        QVERIFY2(!textArea.intersects(panel->geometry()),
                 qPrintable(QStringLiteral("text %1,%2 %3x%4 under the panel at %5")
                                .arg(textArea.x())
                                .arg(textArea.y())
                                .arg(textArea.width())
                                .arg(textArea.height())
                                .arg(panel->x())));
        // The text still takes most of the width.
        QVERIFY(textArea.width() > width - LogViewer::kHidePanelFromRight - 30);
    }
};

QTEST_MAIN(LogViewerTest)
#include "tst_logviewer.moc"
