#include "app/appservices.h"
#include "app/quoralisapplication.h"
#include "app/shellopener.h"
#include "app/tbform.h"
#include "platform/shutdownservice.h"
#include "platform/terminationrequest.h"
#include "platform/waveoutput.h"
#include "widgets/messageboxprompts.h"

namespace {

// Started by a scheduler: nobody may be at the screen to answer.
bool unattendedRun(const QStringList& arguments) {
    const QString first = arguments.value(0);
    return first == QStringLiteral("/autoclose") || first == QStringLiteral("/autoshutdown");
}

} // namespace

int main(int argc, char** argv) {
    TerminationRequest::holdRequests();
    QuoralisApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quoralis2005"));
    // The program lives in the tray: closing a dialog while the main window is hidden must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList arguments = app.arguments().mid(1);
    MessageBoxPrompts prompts;
    DesktopShellOpener shell;
    const auto shutdown = platform::ShutdownService::createSystemService();
    AppServices services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.shutdown = shutdown.get();
    const auto waveOutput = platform::WaveOutput::createSystemOutput();
    services.waveOutput = waveOutput.get();

    TBForm form(QCoreApplication::applicationDirPath(), arguments, services);
    if (unattendedRun(arguments))
        prompts.setUnattended(MessageBoxPrompts::defaultUnattendedWait,
                              [&form](const QString& line) { form.LogMessage(line); });
    // The process ends only when the window has closed, never by ending the event loops of a
    // backup that is still working.
    QObject::connect(&form, &TBForm::programEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    TerminationRequest termination;
    QObject::connect(&termination, &TerminationRequest::requested, &form, [&] {
        prompts.stopWaiting();
        form.requestTermination();
    });
    try {
        form.FormCreate();
    } catch (const std::exception& error) {
        app.reportUnhandledError(QString::fromUtf8(error.what()));
    }
    if (!form.hasEnded())
        QApplication::exec();
    return form.exitStatus();
}
