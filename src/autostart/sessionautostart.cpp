#include "autostart/sessionautostart.h"

#include "platform/autostartentry.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

SessionAutoStart::SessionAutoStart(const QString& caption, QWidget* parent)
    : QCheckBox(caption, parent)
    , m_appName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()) {
    setCursor(Qt::PointingHandCursor);
    connect(this, &QCheckBox::toggled, this, &SessionAutoStart::Click);
}

void SessionAutoStart::setAppName(const QString& name) {
    m_appName = name;
    const bool registered = platform::AutostartEntry::isRegistered(m_appName);
    if (registered && isChecked())
        Click(true);
    else
        setChecked(registered);
}

void SessionAutoStart::Click(bool ticked) {
    // Failures are not reported: the box keeps the state it was given.
    if (ticked)
        platform::AutostartEntry::registerProgram(
            m_appName,
            std::filesystem::path(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString()));
    else
        platform::AutostartEntry::unregister(m_appName);
}
