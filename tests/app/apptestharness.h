#pragma once

#include "app/appservices.h"
#include "app/backupapp.h"
#include "app/exitstatus.h"
#include "app/mainwindow.h"
#include "app/shellopener.h"
#include "app/windowmodes.h"
#include "app/windowsview.h"
#include "config/settingsmodel.h"
#include "engine/backuprunevents.h"
#include "log/activitylog.h"
#include "recordingwaveoutput.h"
#include "scriptedprompts.h"
#include "testprogramdir.h"

#include <QStringList>

namespace platform {
class ShutdownService;
}

#include <functional>
#include <memory>

class RecordingShellOpener : public ShellOpener {
public:
    bool open(const QString& path) override {
        opened.append(path);
        return available;
    }
    QStringList opened;
    // False: the desktop has nothing to open anything with.
    bool available = true;
    // Addresses that reached the desktop's handler, encoded.
    QStringList launched;

protected:
    bool launchUrl(const QUrl& url) override {
        launched.append(QString::fromLatin1(url.toEncoded()));
        return available;
    }
};

// The program and its main window on a temporary program directory, with scripted prompts and
// recording fakes.
class AppTestHarness {
public:
    explicit AppTestHarness(bool withProgramFiles = true);
    ~AppTestHarness();

    // Creates the program and its window and runs the start-up sequence with the given arguments.
    MainWindow& start(const QStringList& arguments = {});
    MainWindow& form() { return *m_form; }
    BackupApp& app() { return *m_app; }

    void writeSettings(const QByteArray& iniText) const;
    QByteArray settingsText() const;
    // The activity log's messages without their timestamps.
    QStringList messages() const;

    TestProgramDir dir;
    ScriptedPrompts prompts;
    RecordingShellOpener shell;
    platform::ShutdownService* shutdown = nullptr;
    RecordingWaveOutput wave;
    QStringList soundRequests;
    // The desktop's tray as the program sees it; a desktop with a tray unless a test says otherwise.
    std::function<bool()> trayAvailable = [] {
        return true;
    };

private:
    std::unique_ptr<BackupApp> m_app;
    std::unique_ptr<MainWindow> m_form;
    std::unique_ptr<WindowsView> m_view;
};
