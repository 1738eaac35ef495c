#include "platform/desktopentry.h"

#include <QList>

#include <optional>

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

// Undoes escapeString.
QByteArray unescapeString(const QByteArray& value) {
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        switch (next) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += next;
        }
    }
    return out;
}

// The raw value of a key in the [Desktop Entry] group; nullopt when the key is not there.
std::optional<QByteArray> mainGroupValue(const QByteArray& entry, const QByteArray& key) {
    bool inMainGroup = false;
    for (const QByteArray& rawLine : entry.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('['))
            inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && line.startsWith(key)) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0 && line.first(equals).trimmed() == key)
                return line.sliced(equals + 1).trimmed();
        }
    }
    return std::nullopt;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

QByteArray DesktopEntry::execValue(const QByteArray& executablePath, const QByteArray& arguments) {
    QByteArray quoted = "\"";
    for (const char c : executablePath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%'; // a literal percent sign, not a field code
    }
    quoted += '"';
    if (!arguments.isEmpty())
        quoted += ' ' + arguments;
    return escapeString(quoted);
}

QByteArray DesktopEntry::execArguments(const QByteArray& entry) {
    const QByteArray exec = unescapeString(mainGroupValue(entry, "Exec").value_or(QByteArray()));
    qsizetype i = 0;
    while (i < exec.size() && isBlank(exec[i]))
        ++i;
    if (i < exec.size() && exec[i] == '"') {
        for (++i; i < exec.size() && exec[i] != '"'; ++i) {
            if (exec[i] == '\\')
                ++i;
        }
        if (i >= exec.size())
            return {}; // no closing quote: the line is not one we can take apart
        ++i;
    } else {
        while (i < exec.size() && !isBlank(exec[i]))
            ++i;
    }
    return exec.sliced(i).trimmed();
}

QByteArray DesktopEntry::forExecutable(const QString& appName, const std::filesystem::path& executablePath,
                                       const QByteArray& arguments) {
    return entry(appName, executablePath, arguments, {});
}

QByteArray DesktopEntry::forMenu(const QString& appName, const std::filesystem::path& executablePath,
                                 const QString& comment, const QString& icon) {
    return entry(appName, executablePath, {},
                 "Comment=" + escapeString(comment.toUtf8()) + "\nIcon=" + escapeString(icon.toUtf8()) +
                     "\nCategories=Utility;Archiving;\n");
}

QByteArray DesktopEntry::entry(const QString& appName, const std::filesystem::path& executablePath,
                               const QByteArray& arguments, const QByteArray& moreKeys) {
    const QByteArray path = QByteArray::fromStdString(executablePath.native());
    if (path.isEmpty() || !isUtf8(path) || path.contains('\0'))
        return {};
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           escapeString(appName.toUtf8()) +
           "\n"
           "Exec=" +
           execValue(path, arguments) + "\n" + moreKeys + "Terminal=false\n";
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
    return mainGroupValue(entry, "Hidden") == QByteArray("true");
}

} // namespace platform
