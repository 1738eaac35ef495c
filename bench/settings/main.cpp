// Saving and loading the settings file: the keys of a whole save (the options, the folder
// list, the two exclusion lists) written as one batch, against the peer, the per-key way
// (every key reads the file, replaces it and syncs it to disk). The file is the program's
// own format, in a temporary folder on the disk the program runs from (pass a folder to
// measure another disk). Loads of long lists are set against Python's configparser.
#include "config/settingsschema.h"
#include "platform/profilebatch.h"
#include "platform/profilefile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The keys of a whole save, in the order the program writes them.
std::vector<const char*> optionKeys() {
    std::vector<const char*> keys;
    for (const SettingSpec* spec : SettingsSchema::saveSequence())
        keys.push_back(spec->key);
    return keys;
}
const std::vector<const char*> kOptionKeys = optionKeys();

QByteArray folderPath(int i) {
    return "/home/user/Documents/projects/folder number " + QByteArray::number(i);
}

int g_round = 0;

// The writes of one save, in the program's order, on whatever writer is given. Every round
// stores another window position, so that no save finds the file already as it would write it.
template <typename Writer> void save(Writer& ini, int folders) {
    ++g_round;
    for (const char* key : kOptionKeys)
        ini.writeString("settings", key,
                        QByteArray(key).startsWith("dest") ? QByteArray("/backups/")
                        : QByteArray(key) == "x"           ? QByteArray::number(g_round)
                                                           : QByteArray("1"));
    ini.eraseSection("folders");
    ini.writeInteger("folders", "folder_count", folders - 1);
    for (int i = 0; i < folders; ++i)
        ini.writeString("folders", "folder_" + QByteArray::number(i), folderPath(i));
    ini.writeInteger("ex_folders", "ex_folder_count", 1);
    ini.writeString("ex_folders", "ex_folder_0", "/home/user/.cache");
    ini.writeString("ex_folders", "ex_folder_1", "/home/user/tmp");
    ini.writeInteger("ex_types", "ex_type_count", 1);
    ini.writeString("ex_types", "ex_type_0", ".tmp");
    ini.writeString("ex_types", "ex_type_1", ".bak");
}

qsizetype g_bytesRead = 0;

// The reads of one load; returns the folders found.
template <typename Reader> int load(const Reader& ini) {
    int found = 0;
    for (const char* key : kOptionKeys)
        g_bytesRead += ini.readString("settings", key, QByteArray()).size();
    for (const char* section : {"ex_folders", "ex_types", "folders"}) {
        const QByteArray prefix = QByteArray(section).chopped(1) + "_";
        const int count = ini.readInteger(section, prefix + "count", 0);
        (void)ini.readKeys(section);
        for (int i = 0; i <= count; ++i)
            if (!ini.readString(section, prefix + QByteArray::number(i), QByteArray()).isEmpty())
                found += section[0] == 'f' ? 1 : 0;
    }
    return found;
}

double millis(const std::function<void()>& work, int repeats) {
    std::vector<double> times;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char* what, double ours, double peer, double aim) {
    std::printf("%-44s ours %9.1f ms   per-key %9.1f ms   ratio %6.1fx   (aim < %.0f ms: %s)\n", what, ours,
                peer, peer / ours, aim, ours < aim ? "met" : "MISSED");
}

// The peer for a long list: Python's configparser reads the same file and looks up the same
// keys; it times itself, so the interpreter's start is not counted. Negative when there is
// no Python.
const char* const kPeerScript = R"(
import configparser, sys, time
path, count = sys.argv[1], int(sys.argv[2])
start = time.perf_counter()
ini = configparser.RawConfigParser(strict=False)
ini.read(path, encoding='latin-1')
found = sum(1 for i in range(count) if ini.get('folders', 'folder_%d' % i, fallback=''))
print('%.3f %d' % ((time.perf_counter() - start) * 1000, found))
)";

double peerListLoad(const QString& path, int count) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kPeerScript), path, QString::number(count)});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return -1;
    const QList<QByteArray> fields = python.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 2 || fields[1].toInt() != count)
        return -1;
    return fields[0].toDouble();
}

// A load of the folder list alone, as start-up reads it: the count, then every entry.
int loadList(const platform::ProfileBatch& ini) {
    const int count = ini.readInteger("folders", "folder_count", 0);
    int found = 0;
    for (int i = 0; i <= count; ++i)
        found += ini.readString("folders", "folder_" + QByteArray::number(i), QByteArray()).isEmpty() ? 0 : 1;
    return found;
}

void reportListLoad(const QString& path, int entries) {
    {
        platform::ProfileBatch batch(path);
        save(batch, entries);
        batch.commit();
    }
    int found = 0;
    const double ours = millis([&] { found = loadList(platform::ProfileBatch(path)); }, 5);
    const double peer = peerListLoad(path, entries);
    if (found != entries)
        std::fprintf(stderr, "the load found %d entries, not %d\n", found, entries);
    const QByteArray what = "load, " + QByteArray::number(entries) + " list entries";
    if (peer < 0)
        std::printf("%-44s ours %9.1f ms   (configparser: no python3 here)\n", what.constData(), ours);
    else
        std::printf("%-44s ours %9.1f ms   configparser %9.1f ms   ratio %6.1fx   (aim < %.0f ms: %s)\n",
                    what.constData(), ours, peer, peer / ours, 1000.0, ours < 1000 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) + QStringLiteral("/bench-XXXXXX")
                               : QDir::currentPath() + QStringLiteral("/bench-settings-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("Quoralis2005Config.ini"));
    std::printf("settings file in %s\n", qPrintable(dir.path()));

    // A save with 10 folders.
    const double ours10 = millis(
        [&] {
            platform::ProfileBatch batch(path);
            save(batch, 10);
            batch.commit();
        },
        15);
    platform::ProfileFile perKey(path);
    const double peer10 = millis([&] { save(perKey, 10); }, 5);
    report("save, 10 folders", ours10, peer10, 20);

    // The resize reaction: width and height.
    const double oursResize = millis(
        [&, n = 0]() mutable {
            platform::ProfileBatch batch(path);
            batch.writeInteger("settings", "width", 500 + (++n % 7));
            batch.writeInteger("settings", "height", 400 + (n % 5));
            batch.commit();
        },
        15);
    const double peerResize = millis(
        [&, n = 0]() mutable {
            perKey.writeInteger("settings", "width", 500 + (++n % 7));
            perKey.writeInteger("settings", "height", 400 + (n % 5));
        },
        15);
    report("resize write (width, height)", oursResize, peerResize, 50);

    // 2,000 folders: one load at start and one save at close.
    const int many = 2000;
    {
        platform::ProfileBatch batch(path);
        save(batch, many);
        batch.commit();
    }
    int foundOurs = 0;
    int foundPeer = 0;
    const double oursManyLoad = millis([&] { foundOurs = load(platform::ProfileBatch(path)); }, 3);
    const double oursManySave = millis(
        [&] {
            platform::ProfileBatch batch(path);
            save(batch, many);
            batch.commit();
        },
        3);
    const double oursMany = oursManyLoad + oursManySave;
    std::printf("  (ours: load %.1f ms, save %.1f ms)\n", oursManyLoad, oursManySave);
    const double peerMany = millis(
        [&] {
            foundPeer = load(perKey);
            save(perKey, many);
        },
        1);
    if (foundOurs != many || foundPeer != many)
        std::fprintf(stderr, "loads found %d and %d folders, not %d\n", foundOurs, foundPeer, many);
    report("start and close, 2,000 folders", oursMany, peerMany, 1000);

    // Long lists: a load must grow with the list, not with its square (10,000 to 30,000
    // entries: about three times as long).
    for (const int entries : {10000, 30000})
        reportListLoad(path, entries);
    return 0;
}
