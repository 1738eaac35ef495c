// The backup run, the walks, the housekeeping, the settings model and the error report build and
// run in a process that has no window system at all: no widget or GUI library is even loaded.
#include "backupset/busystate.h"
#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/backuprun.h"
#include "housekeeping/housekeeping.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "online/errorreport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
class NoPrompts : public UserPrompts {
public:
    bool ask(const QString&) override { return false; }
    void notify(const QString&) override {}
    std::optional<std::filesystem::path> pickFolder(const QString&, const QString&,
                                                    const std::filesystem::path&) override {
        return std::nullopt;
    }
};

class NoBusy : public BusyState {
public:
    void StartWait() override {}
    void StopWait() override {}
};
} // namespace

class TestCoreWithoutWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noWindowLibraryIsLoaded() {
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(mapped.contains("libQt6Core"));
        QVERIFY2(!mapped.contains("libQt6Widgets"), "a core library links Qt Widgets");
        QVERIFY2(!mapped.contains("libQt6Gui"), "a core library links Qt Gui");
    }

    // The walk reads the model, never a window.
    void aWalkTakesItsOptionsFromTheModel() {
        QTemporaryDir dir;
        const std::filesystem::path root(dir.path().toStdString());
        std::filesystem::create_directories(root / "skip");
        for (const char* name : {"a.txt", "b.tmp", "skip/c.txt", ".hidden"}) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
        SettingsModel settings;
        NoPrompts prompts;
        ActivityLog log;
        EventMarker marker;
        NoBusy busy;
        FolderSet folders(settings, prompts, log, marker, busy);
        settings.appendExcludedFolder(root / "skip");
        settings.appendExcludedType(QStringLiteral(".tmp"));
        PathList files;
        QCOMPARE(folders.CollectFolderFiles(root, files), FolderSet::Collected::Complete);
        QCOMPARE(files.size(), 1u);
        settings.setOn(Setting::IncludeHidden, true);
        PathList withHidden;
        folders.CollectFolderFiles(root, withHidden);
        QCOMPARE(withHidden.size(), 2u);
    }

    // A report is sent, and its failure told, without any window.
    void anErrorReportIsSentWithoutAWindow() {
        qputenv("QUORALIS_SERVER", "127.0.0.1:1");
        EventMarker marker;
        ErrorReport report(marker);
        QSignalSpy failed(&report, &ErrorReport::sendFailed);
        report.send(QStringLiteral("Disk is full"), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 20000);
    }
};

QTEST_GUILESS_MAIN(TestCoreWithoutWindows)
#include "tst_corewithoutwindows.moc"
