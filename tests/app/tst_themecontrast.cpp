#include "app/toolbarwindow.h"
#include "apptestharness.h"
#include "backupset/exclusiondialog.h"
#include "config/buttontabwidget.h"
#include "config/settingsdialog.h"
#include "drawncontrast.h"
#include "log/logviewer.h"
#include "online/errorreportwindow.h"
#include "quietopacity.h"
#include "restore/restorewindow.h"
#include "widgets/skinpalette.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QTest>
#include <QVBoxLayout>

// Captions stay readable whatever colours the desktop uses: the skinned windows draw dark text on
// their light pictures, the plain windows take the desktop's colours.
class TestThemeContrast : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void theMeasureTellsReadableFromUnreadable();
    void skinnedWindowsKeepDarkTextOnLight_data();
    void skinnedWindowsKeepDarkTextOnLight();
    void plainWindowsFollowTheDesktop_data();
    void plainWindowsFollowTheDesktop();

private:
    QPalette m_startPalette;
};

namespace {

constexpr double kReadable = 3.0;

// A dark desktop as a Fusion dark theme sets it up.
QPalette darkDesktop() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a));
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4a));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::Mid, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ToolTipText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Link, QColor(0x4a, 0xa3, 0xff));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x7f, 0x7f, 0x7f));
    return p;
}

void addDesktops() {
    QTest::addColumn<QPalette>("desktop");
    QTest::newRow("dark") << darkDesktop();
    QTest::newRow("light") << QApplication::style()->standardPalette();
}

QStringList unreadable(const QList<DrawnContrast::Reading>& readings) {
    QStringList found;
    for (const DrawnContrast::Reading& reading : readings)
        if (reading.ratio < kReadable)
            found.append(QStringLiteral("%1: %2 on %3 (%4:1)")
                             .arg(reading.widget, reading.text.name(), reading.background.name())
                             .arg(reading.ratio, 0, 'f', 2));
    return found;
}

bool measured(const QList<DrawnContrast::Reading>& readings, const QString& widget) {
    return std::any_of(readings.cbegin(), readings.cend(),
                       [&](const DrawnContrast::Reading& r) { return r.widget.startsWith(widget); });
}

} // namespace

void TestThemeContrast::initTestCase() {
    QuietOpacity::install();
    m_startPalette = QApplication::palette();
}

void TestThemeContrast::cleanup() {
    QApplication::setPalette(m_startPalette);
}

void TestThemeContrast::theMeasureTellsReadableFromUnreadable() {
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette light = window.palette();
    light.setColor(QPalette::Window, SkinPalette::background());
    window.setPalette(light);
    auto* faint = new QLabel(QStringLiteral("white on the skin"), &window);
    faint->setObjectName(QStringLiteral("faint"));
    QPalette white = faint->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    faint->setPalette(white);
    auto* plain = new QLabel(QStringLiteral("dark on the skin"), &window);
    plain->setObjectName(QStringLiteral("plain"));
    QPalette dark = plain->palette();
    dark.setColor(QPalette::WindowText, SkinPalette::text());
    plain->setPalette(dark);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(faint);
    layout->addWidget(plain);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QList<DrawnContrast::Reading> readings = DrawnContrast::readWindow(&window);
    QCOMPARE(readings.size(), 2);
    for (const DrawnContrast::Reading& reading : readings) {
        QCOMPARE(reading.background, SkinPalette::background());
        if (reading.widget.startsWith(QLatin1String("faint"))) {
            QCOMPARE(reading.text, QColor(Qt::white));
            QVERIFY(reading.ratio < 1.1);
        } else {
            QCOMPARE(reading.text, SkinPalette::text());
            QVERIFY(reading.ratio > 12);
        }
    }
    QCOMPARE(DrawnContrast::ratio(Qt::black, Qt::white), 21.0);
}

void TestThemeContrast::skinnedWindowsKeepDarkTextOnLight_data() {
    addDesktops();
}

void TestThemeContrast::skinnedWindowsKeepDarkTextOnLight() {
    QFETCH(QPalette, desktop);
    QApplication::setPalette(desktop);
    AppTestHarness h;
    MainWindow& form = h.start();
    form.program().activityLog().logMessage(QStringLiteral("a line of the log"));
    form.show();
    // The progress panel as a backup shows it, over the folder list.
    form.ui().PBar->setValue(0);
    form.ui().PPanel->show();
    form.toolbarWindow()->show();
    form.logViewer()->show();
    SettingsDialog* settings = form.settingsDialog();
    settings->show();
    QVERIFY(QTest::qWaitForWindowExposed(settings));

    QStringList failures;
    const QList<DrawnContrast::Reading> main = DrawnContrast::readWindow(&form);
    QVERIFY(measured(main, QStringLiteral("QLabel \"Folders selected for backup:")));
    QVERIFY(measured(main, QStringLiteral("btSettings")));
    QVERIFY(measured(main, QStringLiteral("PLabel")));
    QVERIFY(measured(main, QStringLiteral("PBar \"0%")));
    failures += unreadable(main);
    const QList<DrawnContrast::Reading> toolbar = DrawnContrast::readWindow(form.toolbarWindow());
    QVERIFY(measured(toolbar, QStringLiteral("RTL")));
    failures += unreadable(toolbar);
    const QList<DrawnContrast::Reading> log = DrawnContrast::readWindow(form.logViewer());
    QVERIFY(measured(log, QStringLiteral("LOG")));
    QVERIFY(measured(log, QStringLiteral("HB")));
    failures += unreadable(log);

    auto* pages = settings->findChild<ButtonTabWidget*>();
    QVERIFY(pages);
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QCoreApplication::processEvents();
        const QList<DrawnContrast::Reading> page = DrawnContrast::readWindow(settings);
        QVERIFY(measured(page, QStringLiteral("btOk")));
        QVERIFY2(page.size() > 5, qPrintable(pages->page(i)->objectName()));
        failures += unreadable(page);
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
}

void TestThemeContrast::plainWindowsFollowTheDesktop_data() {
    addDesktops();
}

void TestThemeContrast::plainWindowsFollowTheDesktop() {
    QFETCH(QPalette, desktop);
    QApplication::setPalette(desktop);
    AppTestHarness h;
    MainWindow& form = h.start();
    form.exclusionDialog()->show();
    form.errorForm()->showError(QStringLiteral("Access violation at address 0"));
    form.showRestoreWindow();
    auto* restore = form.findChild<RestoreWindow*>();
    QVERIFY(restore);

    for (QWidget* window : {static_cast<QWidget*>(form.exclusionDialog()),
                            static_cast<QWidget*>(form.errorForm()), static_cast<QWidget*>(restore)}) {
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QList<DrawnContrast::Reading> readings = DrawnContrast::readWindow(window);
        QVERIFY2(!readings.isEmpty(), window->metaObject()->className());
        const QStringList failures = unreadable(readings);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
        // Light or dark as the desktop is: its own colours, not fixed ones of the window.
        const QColor behind = DrawnContrast::background(window->grab().toImage());
        QVERIFY2(DrawnContrast::ratio(behind, desktop.color(QPalette::Window)) < 1.5,
                 qPrintable(
                     QStringLiteral("%1 draws on %2").arg(window->metaObject()->className(), behind.name())));
    }
}

QTEST_MAIN(TestThemeContrast)
#include "tst_themecontrast.moc"
