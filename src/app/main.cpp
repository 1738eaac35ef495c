#include "app/appservices.h"
#include "app/backupapp.h"
#include "app/desktopshellopener.h"
#include "app/exitstatus.h"
#include "app/mainwindow.h"
#include "app/quoralisapplication.h"
#include "app/singleinstance.h"
#include "app/starthandover.h"
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

    // Made first: an end request while this start waits for another copy withdraws it.
    TerminationRequest termination;
    MessageBoxPrompts prompts;
    auto instance = std::make_unique<SingleInstance>();
    if (instance->acquire(location.settingsFile()) == SingleInstance::Role::Secondary) {
        const QMetaObject::Connection withdrawal = QObject::connect(
            &termination, &TerminationRequest::requested, instance.get(), &SingleInstance::withdraw);
        const std::optional<int> status = StartHandOver(*instance, arguments, prompts)
                                              .run(location.settingsFile(), location.logDirectory());
        QObject::disconnect(withdrawal);
        if (status) {
            TerminationRequest::ignoreFurtherRequests();
            return *status;
        }
    }
    instance->setUnattendedRun(unattended);
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
