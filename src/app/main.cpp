#include "app/appservices.h"
#include "app/quoralisapplication.h"
#include "app/shellopener.h"
#include "app/tbform.h"
#include "platform/shutdownservice.h"
#include "platform/waveoutput.h"
#include "widgets/messageboxprompts.h"

int main(int argc, char** argv) {
    QuoralisApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quoralis2005"));
    // The program lives in the tray: closing a dialog while the main window is hidden must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    MessageBoxPrompts prompts;
    DesktopShellOpener shell;
    const auto shutdown = platform::ShutdownService::createSystemService();
    AppServices services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.shutdown = shutdown.get();
    const auto waveOutput = platform::WaveOutput::createSystemOutput();
    services.waveOutput = waveOutput.get();

    TBForm form(QCoreApplication::applicationDirPath(), app.arguments().mid(1), services);
    QObject::connect(&form, &TBForm::programEnded, &app, &QCoreApplication::quit);
    try {
        form.FormCreate();
    } catch (const std::exception& error) {
        app.reportUnhandledError(QString::fromUtf8(error.what()));
    }
    if (form.hasEnded())
        return 0;
    return QApplication::exec();
}
