#include "apptestharness.h"

#include <QDir>

AppTestHarness::AppTestHarness(bool withProgramFiles) {
    if (withProgramFiles)
        dir.installProgramFiles();
}

MainWindow& AppTestHarness::start(const QStringList& arguments) {
    AppServices services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.shutdown = shutdown;
    services.waveOutput = &wave;
    services.trayAvailable = trayAvailable;
    m_form = std::make_unique<MainWindow>(dir.path(), arguments, services);
    QObject::connect(m_form.get(), &MainWindow::eventSoundRequested,
                     [this](const QString& name) { soundRequests.append(name); });
    m_form->FormCreate();
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
    for (const QString& line : m_form->activityLog().lines())
        result.append(line.section(QStringLiteral(" - "), 1, -1));
    return result;
}
