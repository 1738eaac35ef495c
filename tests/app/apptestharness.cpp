#include "apptestharness.h"

#include "app/quoralisapplication.h"

#include <QDir>

AppTestHarness::AppTestHarness(bool withProgramFiles) {
    if (withProgramFiles)
        dir.installProgramFiles();
}

AppTestHarness::~AppTestHarness() {
    if (m_app)
        m_app->setView(nullptr);
    if (auto* application = QuoralisApplication::instance())
        application->setUnhandledErrorHandler({});
}

MainWindow& AppTestHarness::start(const QStringList& arguments) {
    AppServices services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.shutdown = shutdown;
    services.waveOutput = &wave;
    services.trayAvailable = trayAvailable;
    m_app = std::make_unique<BackupApp>(dir.path(), arguments, services);
    if (auto* application = QuoralisApplication::instance())
        application->setUnhandledErrorHandler(
            [app = m_app.get()](const QString& message) { app->reportUnexpectedError(message); });
    QObject::connect(m_app.get(), &BackupApp::eventSoundRequested,
                     [this](const QString& name) { soundRequests.append(name); });
    m_form = std::make_unique<MainWindow>(*m_app);
    m_view = std::make_unique<WindowsView>(*m_form, m_form->modes());
    m_app->setView(m_view.get());
    m_app->startUp();
    return *m_form;
}

void AppTestHarness::writeSettings(const QByteArray& iniText) const {
    dir.writeFile(QStringLiteral("Quoralis2005Config.ini"), iniText);
}

QByteArray AppTestHarness::settingsText() const {
    return dir.readFile(QStringLiteral("Quoralis2005Config.ini"));
}

QStringList AppTestHarness::messages() const {
    QStringList result;
    for (const QString& line : m_app->activityLog().lines())
        result.append(line.section(QStringLiteral(" - "), 1, -1));
    return result;
}
