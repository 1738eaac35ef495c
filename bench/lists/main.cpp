// What long lists cost an "/autoclose" start and close: the same 2,000 small files backed up as
// one listed folder and as 2,000 listed folders, and with 10,000 excluded folders and file types
// against none. Each pair runs the built program from outside; both figures and the difference print.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Layout {
    QByteArray folders;
    QByteArray exclusions;
};

double runOnce(const QString& programDir, const QString& work, const Layout& layout) {
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    QFile settings(programDir + QStringLiteral("/Quoralis2005Config.ini"));
    settings.open(QIODevice::WriteOnly | QIODevice::Truncate);
    settings.write("[settings]\nauto_check=0\nclean_logs=0\ndestination=" + work.toUtf8() + "/\n");
    settings.write(layout.folders);
    settings.write(layout.exclusions);
    settings.close();
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QUORALIS_SERVER"), QStringLiteral("127.0.0.1:1"));
    run.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    run.start(programDir + QStringLiteral("/quoralis2005"), {QStringLiteral("/autoclose")});
    run.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (run.exitCode() != 0)
        std::printf("  (the run ended with status %d)\n", run.exitCode());
    return seconds;
}

double median(const QString& programDir, const QString& work, const Layout& layout, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i)
        times.push_back(runOnce(programDir, work, layout));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QByteArray list(const char* section, const char* prefix, const QStringList& entries) {
    QByteArray text =
        QByteArray("[") + section + "]\n" + prefix + "count=" + QByteArray::number(entries.size() - 1) + "\n";
    for (int i = 0; i < entries.size(); ++i)
        text += prefix + QByteArray::number(i) + "=" + entries.at(i).toUtf8() + "\n";
    return text;
}

void compare(const char* what, double baseline, double measured) {
    std::printf("%-44s baseline %6.2f s   with the list %6.2f s   added %+6.2f s   ratio %.2f\n", what,
                baseline, measured, measured - baseline, measured / baseline);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::printf("usage: bench_lists <built program folder, e.g. build/bin> [rounds]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QTemporaryDir scratch;
    // A copy of the program folder, so the settings file of the build stays untouched.
    const QString programDir = scratch.filePath(QStringLiteral("program"));
    QProcess::execute(QStringLiteral("cp"),
                      {QStringLiteral("-a"), QString::fromLocal8Bit(argv[1]), programDir});
    QFile::remove(programDir + QStringLiteral("/Quoralis2005Config.ini"));

    const QString data = scratch.filePath(QStringLiteral("data"));
    QStringList folders;
    for (int i = 0; i < 2000; ++i) {
        const QString folder = data + QStringLiteral("/f%1").arg(i, 4, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/file.txt"));
        file.open(QIODevice::WriteOnly);
        file.write("some text of a file\n");
        folders.append(folder);
    }
    QStringList excludedFolders;
    QStringList excludedTypes;
    for (int i = 0; i < 10000; ++i) {
        excludedFolders.append(data + QStringLiteral("/nowhere/x%1").arg(i));
        excludedTypes.append(QStringLiteral(".t%1").arg(i));
    }
    const QString work = scratch.filePath(QStringLiteral("backups"));
    const Layout one{list("folders", "folder_", {data}), {}};
    const Layout many{list("folders", "folder_", folders), {}};
    const Layout excluded{one.folders, list("ex_folders", "ex_folder_", excludedFolders) +
                                           list("ex_types", "ex_type_", excludedTypes)};

    std::printf("/autoclose of 2,000 files, median of %d runs each\n", rounds);
    const double baseline = median(programDir, work, one, rounds);
    compare("2,000 listed folders against one", baseline, median(programDir, work, many, rounds));
    compare("10,000 excluded folders and 10,000 types", baseline, median(programDir, work, excluded, rounds));
    return 0;
}
