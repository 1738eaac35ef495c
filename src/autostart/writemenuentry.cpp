// Writes the application menu's desktop entry when the program is installed:
//   quoralis_writemenuentry <entry file> <installed executable> <icon name>
#include "platform/desktopentry.h"

#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <entry file> <installed executable> <icon name>\n", argv[0]);
        return 2;
    }
    const QByteArray entry = platform::DesktopEntry::forMenu(
        QStringLiteral("Quoralis2005"), std::filesystem::path(argv[2]),
        QStringLiteral("Back up folders into ZIP archives"), QString::fromLocal8Bit(argv[3]));
    if (entry.isEmpty()) {
        std::fprintf(stderr, "a desktop entry cannot name the program path %s\n", argv[2]);
        return 1;
    }
    QFile file(QFile::decodeName(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(entry) != entry.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
