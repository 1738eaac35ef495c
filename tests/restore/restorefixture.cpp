#include "restorefixture.h"

#include "engine/archivecomponent.h"
#include "restore/archivecontents.h"
#include "restore/restorejob.h"

#include <QProcess>
#include <QTest>

#include <sys/stat.h>

namespace fs = std::filesystem;

fs::path RestoreFixture::backup(const std::vector<fs::path>& files, const std::string& name, int level) {
    std::error_code ec;
    fs::remove(archivePath(), ec);
    if (add(files, ArchiveComponent::AddDirNames, level) != 0)
        return {};
    fs::create_directories(destination());
    const fs::path target = destination() / name;
    fs::rename(archivePath(), target);
    return target;
}

RestoreReport RestoreFixture::restoreAll(const fs::path& archive, const fs::path& folder, const Run& run) {
    ArchiveContents contents;
    if (!contents.open(archive)) {
        RestoreReport failed;
        failed.problems.push_back(
            {archive.native(), RestoreReport::Reason::Unreadable, contents.errorText()});
        return failed;
    }
    RestoreRequest request;
    request.originalPlace = folder.empty();
    request.folder = folder;
    request.addNode(contents, ArchiveContents::Root);
    std::atomic<bool> noCancel{false};
    RestoreJob job(std::move(request), {run.progress, run.overwrite}, run.cancel ? *run.cancel : noCancel);
    return job.run();
}

QStringList RestoreFixture::filesBelow(const fs::path& folder) {
    QStringList out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_directory(ec) || it->is_symlink(ec))
            out.append(QString::fromStdString(fs::relative(it->path(), folder).native()));
    }
    out.sort();
    return out;
}

std::int64_t RestoreFixture::mtimeNs(const fs::path& file) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0)
        return -1;
    return std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

bool RestoreFixture::python(const QString& script, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QStringList RestoreFixture::problemNames(const RestoreReport& report, RestoreReport::Reason reason) {
    QStringList names;
    for (const RestoreReport::Problem& p : report.problems) {
        if (p.reason == reason)
            names.append(QString::fromStdString(p.name));
    }
    names.sort();
    return names;
}
