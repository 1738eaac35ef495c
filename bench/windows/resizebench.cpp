// Measures how long the GUI stands still per size change while the main window is resized
// by a drag: each change writes width and height to the settings file at once. Prints the
// longest and the median stall, and beside it the same drag on a window of the same
// widgets that writes nothing, with the ratio.
#include "app/appservices.h"
#include "app/backupapp.h"
#include "app/mainwindow.h"
#include "app/shellopener.h"
#include "app/windowmodes.h"
#include "app/windowsview.h"
#include "scriptedprompts.h"
#include "testprogramdir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class NoShell : public ShellOpener {
public:
    bool open(const QString&) override { return true; }

protected:
    bool launchUrl(const QUrl&) override { return true; }
};

struct Figures {
    double longestMs = 0;
    double medianMs = 0;
};

Figures dragResize(QWidget& window, int steps, bool bothSides) {
    std::vector<double> stalls;
    QElapsedTimer timer;
    for (int i = 0; i < steps; ++i) {
        timer.start();
        window.resize(520 + (i % 120) * 2, bothSides ? 360 + (i % 80) : window.height());
        QApplication::processEvents();
        stalls.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(stalls.begin(), stalls.end());
    return {stalls.back(), stalls[stalls.size() / 2]};
}

QByteArray largeSettings() {
    // A settings file as a long-time user has it: many folders and exclusions.
    QByteArray text = "[settings]\nx=100\ny=100\nwidth=520\nheight=360\n[folders]\n";
    for (int i = 0; i < 300; ++i)
        text += "folder" + QByteArray::number(i) + "=/home/user/projects/some/rather/long/path/" +
                QByteArray::number(i) + "\n";
    text += "[ex_types]\n";
    for (int i = 0; i < 50; ++i)
        text += "type" + QByteArray::number(i) + "=.t" + QByteArray::number(i) + "\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qputenv("QUORALIS_PROGRAM_DIR", QUORALIS_PROGRAM_DIR_TEXT);
    TestProgramDir dir;
    dir.installProgramFiles();
    dir.writeFile(QStringLiteral("Quoralis2005Config.ini"), largeSettings());

    ScriptedPrompts prompts;
    NoShell shell;
    AppServices services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.trayAvailable = [] {
        return true;
    };
    BackupApp program(dir.path(), {}, services);
    MainWindow form(program);
    WindowsView view(form, form.modes());
    program.setView(&view);
    program.startUp();
    const int steps = 300;
    const Figures ours = dragResize(form, steps, true);
    const Figures oursOneSide = dragResize(form, steps, false);

    QWidget plain;
    auto* layout = new QVBoxLayout(&plain);
    for (int i = 0; i < 12; ++i)
        layout->addWidget(new QWidget(&plain));
    plain.show();
    const Figures peer = dragResize(plain, steps, true);

    std::printf("resize drag, %d size changes, platform %s\n", steps,
                qPrintable(QApplication::platformName()));
    std::printf("main window (writes width and height each change): longest %.2f ms, median %.2f ms\n",
                ours.longestMs, ours.medianMs);
    std::printf("main window, drag along one side (writes width only): longest %.2f ms, median %.2f ms\n",
                oursOneSide.longestMs, oursOneSide.medianMs);
    std::printf("plain window (writes nothing):                    longest %.2f ms, median %.2f ms\n",
                peer.longestMs, peer.medianMs);
    std::printf("ratio of medians: %.2f\n", peer.medianMs > 0 ? ours.medianMs / peer.medianMs : 0.0);
    return 0;
}
