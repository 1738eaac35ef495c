#include "app/commandline.h"

CommandLine::CommandLine(const QStringList& arguments)
    : m_arguments(arguments) {
    const QString first = arguments.value(0);
    if (first == QStringLiteral("/auto"))
        m_backup = Backup::Auto;
    else if (first == QStringLiteral("/autoclose"))
        m_backup = Backup::AutoClose;
    else if (first == QStringLiteral("/autoshutdown"))
        m_backup = Backup::AutoShutdown;
}

QString CommandLine::spelledOut() const {
    return m_arguments.join(QLatin1Char(' '));
}

bool CommandLine::minimized() const {
    return m_arguments.value(1) == QStringLiteral("/minimize");
}
