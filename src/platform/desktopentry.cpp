#include "platform/desktopentry.h"

#include <QList>

namespace platform {

namespace {

// The escapes of a desktop-entry string value.
QByteArray escapeString(const QByteArray& text) {
    QByteArray out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    if (out.startsWith(' '))
        out.replace(0, 1, "\\s");
    return out;
}

bool isUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

QByteArray DesktopEntry::execValue(const QByteArray& executablePath) {
    QByteArray quoted = "\"";
    for (const char c : executablePath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%'; // a literal percent sign, not a field code
    }
    quoted += '"';
    return escapeString(quoted);
}

QByteArray DesktopEntry::forExecutable(const QString& appName, const std::filesystem::path& executablePath) {
    return entry(appName, executablePath, {});
}

QByteArray DesktopEntry::forMenu(const QString& appName, const std::filesystem::path& executablePath,
                                 const QString& comment, const QString& icon) {
    return entry(appName, executablePath,
                 "Comment=" + escapeString(comment.toUtf8()) + "\nIcon=" + escapeString(icon.toUtf8()) +
                     "\nCategories=Utility;Archiving;\n");
}

QByteArray DesktopEntry::entry(const QString& appName, const std::filesystem::path& executablePath,
                               const QByteArray& moreKeys) {
    const QByteArray path = QByteArray::fromStdString(executablePath.native());
    if (path.isEmpty() || !isUtf8(path) || path.contains('\0'))
        return {};
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           escapeString(appName.toUtf8()) +
           "\n"
           "Exec=" +
           execValue(path) + "\n" + moreKeys + "Terminal=false\n";
}

std::filesystem::path DesktopEntry::autostartPath(const QString& appName) {
    if (appName.isEmpty() || appName == QLatin1String(".") || appName == QLatin1String("..") ||
        appName.contains(QLatin1Char('/')) || appName.contains(QChar(0)))
        return {};
    std::filesystem::path configHome;
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && xdg.startsWith('/')) {
        configHome = xdg.toStdString();
    } else {
        const QByteArray home = qgetenv("HOME");
        if (home.isEmpty())
            return {};
        configHome = std::filesystem::path(home.toStdString()) / ".config";
    }
    return configHome / "autostart" / (appName + QStringLiteral(".desktop")).toUtf8().toStdString();
}

bool DesktopEntry::isHidden(const QByteArray& entry) {
    bool inMainGroup = false;
    for (const QByteArray& rawLine : entry.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('['))
            inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && line.startsWith("Hidden")) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0 && line.first(equals).trimmed() == "Hidden" &&
                line.sliced(equals + 1).trimmed() == "true")
                return true;
        }
    }
    return false;
}

} // namespace platform
