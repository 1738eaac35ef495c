#include "app/appservices.h"
#include "app/backupapp.h"
#include "app/desktopshellopener.h"
#include "app/exitstatus.h"
#include "app/mainwindow.h"
#include "app/quoralisapplication.h"
#include "app/singleinstance.h"
#include "app/traycontrol.h"
#include "app/traynotifier.h"
#include "app/windowsview.h"
#include "log/activitylog.h"
#include "platform/desktopnotifier.h"
#include "platform/settingslocation.h"
#include "platform/shutdownservice.h"
#include "platform/systeminfo.h"
#include "platform/terminationrequest.h"
#include "platform/waveoutput.h"
#include "widgets/messageboxprompts.h"

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// Hands the start to a copy already running on the same settings file. Returns the exit status
// when this copy is to end, nothing when it is to start as the first one.
std::optional<int> handOver(SingleInstance& instance, const QStringList& arguments) {
    for (;;) {
        const SingleInstance::Forwarded forwarded = instance.forward(arguments);
        switch (forwarded.outcome) {
        case SingleInstance::Outcome::Handed:
            return 0;
        case SingleInstance::Outcome::Finished:
        case SingleInstance::Outcome::Failed:
            return forwarded.exitStatus;
        case SingleInstance::Outcome::BecamePrimary:
            return std::nullopt;
        case SingleInstance::Outcome::PrimaryUnattended:
            switch (instance.waitForPrimaryToEnd()) {
            case SingleInstance::Wait::BecamePrimary:
                return std::nullopt;
            case SingleInstance::Wait::PrimaryReady:
                continue;
            case SingleInstance::Wait::Failed:
                return int(ExitStatus::BackupNotMade);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    TerminationRequest::holdRequests();
    QuoralisApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quoralis2005"));
    // The program lives in the tray: closing a dialog while the main window is hidden must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList arguments = app.arguments().mid(1);
    const bool unattended = SingleInstance::isUnattendedStart(arguments);
    const QString programDir = platform::SystemInfo::programDirectoryText();
    // Beside the program in a portable copy, in the per-user places when the program folder is not ours.
    const platform::SettingsLocation location(platform::SystemInfo::programDirectory());

    auto instance = std::make_unique<SingleInstance>();
    if (instance->acquire(location.settingsFile()) == SingleInstance::Role::Secondary) {
        if (const std::optional<int> status = handOver(*instance, arguments))
            return *status;
    }
    instance->setUnattendedRun(unattended);
    MessageBoxPrompts prompts;
    DesktopShellOpener shell;
    const auto shutdown = platform::ShutdownService::createSystemService();
    AppServices services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.shutdown = shutdown.get();
    const auto systemNotifier = platform::DesktopNotifier::createSystemNotifier();
    TrayNotifier trayNotifier;
    services.notifier = systemNotifier ? systemNotifier.get() : &trayNotifier;
    const auto waveOutput = platform::WaveOutput::createSystemOutput();
    services.waveOutput = waveOutput.get();
    services.settingsFile = location.settingsFile();
    services.logDirectory = location.logDirectory();

    BackupApp program(programDir, arguments, services);
    program.adoptInstanceGuard(std::move(instance));
    app.setUnhandledErrorHandler(
        [&program](const QString& message) { program.reportUnexpectedError(message); });
    // For whoever watches a run from outside (a test, a support case): every log line as it is made.
    if (qEnvironmentVariableIsSet("QUORALIS_LOG_ECHO"))
        QObject::connect(&program.activityLog(), &ActivityLog::messageLogged, [](const QString& message) {
            std::fprintf(stderr, "%s\n", message.toUtf8().constData());
            std::fflush(stderr);
        });
    if (unattended)
        prompts.setUnattended(MessageBoxPrompts::defaultUnattendedWait,
                              [&program](const QString& line) { program.activityLog().logMessage(line); });
    MainWindow window(program);
    trayNotifier.setTray(window.tray());
    WindowsView view(window, window.modes());
    program.setView(&view);
    prompts.setParentWindow(&window);
    // The process ends only when the program has closed, never by ending the event loops of a
    // backup that is still working.
    QObject::connect(&program, &BackupApp::programEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    TerminationRequest termination;
    QObject::connect(&termination, &TerminationRequest::requested, &program, [&] {
        prompts.stopWaiting();
        program.requestTermination();
    });
    try {
        program.startUp();
    } catch (const std::exception& error) {
        app.reportUnhandledError(QString::fromUtf8(error.what()));
    }
    if (!program.hasEnded())
        QApplication::exec();
    TerminationRequest::ignoreFurtherRequests();
    // What refers to the program and its windows goes before them.
    app.setUnhandledErrorHandler({});
    program.setView(nullptr);
    return program.exitCode();
}
