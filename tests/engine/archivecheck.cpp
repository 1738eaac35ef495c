#include "archivecheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

namespace archivecheck {

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

QString scriptPath() {
    return qEnvironmentVariable("QUORALIS_SOURCE_DIR") + QStringLiteral("/tests/engine/zipinspect.py");
}

// Runs a program with a path argument given as bytes (it may not be valid UTF-8).
bool run(const QString& program, QStringList arguments, QByteArray* out, int timeoutMs = 600000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    *out = process.readAll();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString argumentOf(const std::filesystem::path& path) {
    return QString::fromLocal8Bit(path.native().c_str());
}

} // namespace

const Entry* Listing::find(const QByteArray& name) const {
    for (const Entry& e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

bool unzipTest(const std::filesystem::path& archive, QString* output) {
    QByteArray out;
    const bool ok = run(QStringLiteral("unzip"), {QStringLiteral("-tq"), argumentOf(archive)}, &out);
    if (output)
        *output = QString::fromLocal8Bit(out);
    return ok && out.contains("No errors detected");
}

bool pythonTest(const std::filesystem::path& archive, QString* output) {
    QByteArray out;
    const bool ok = run(Python,
                        {QStringLiteral("-c"),
                         QStringLiteral("import zipfile,sys\nbad = zipfile.ZipFile(sys.argv[1]).testzip()\n"
                                        "print(bad)\nsys.exit(0 if bad is None else 1)"),
                         argumentOf(archive)},
                        &out);
    if (output)
        *output = QString::fromLocal8Bit(out);
    return ok;
}

bool haveProgram(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

bool javaTest(const std::filesystem::path& archive, QString* output) {
    QByteArray out;
    const QString check =
        qEnvironmentVariable("QUORALIS_SOURCE_DIR") + QStringLiteral("/tests/engine/ZipReadCheck.java");
    const bool ok = haveProgram(QStringLiteral("java")) &&
                    run(QStringLiteral("java"), {check, argumentOf(archive)}, &out);
    if (output)
        *output = QString::fromLocal8Bit(out);
    return ok && out.startsWith("ok ");
}

bool sevenZipTest(const std::filesystem::path& archive, QString* output) {
    QByteArray out;
    const bool ok = haveProgram(QStringLiteral("7z")) &&
                    run(QStringLiteral("7z"), {QStringLiteral("t"), argumentOf(archive)}, &out);
    if (output)
        *output = QString::fromLocal8Bit(out);
    return ok;
}

Listing pythonListing(const std::filesystem::path& archive) {
    Listing listing;
    QByteArray out;
    if (!run(Python, {scriptPath(), argumentOf(archive)}, &out)) {
        listing.error = QString::fromLocal8Bit(out);
        return listing;
    }
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    listing.comment = QByteArray::fromHex(root.value(QStringLiteral("comment")).toString().toLatin1());
    for (const QJsonValue& value : root.value(QStringLiteral("entries")).toArray()) {
        const QJsonObject o = value.toObject();
        Entry e;
        e.name = QByteArray::fromHex(o.value(QStringLiteral("name")).toString().toLatin1());
        e.flags = o.value(QStringLiteral("flags")).toInt();
        e.method = o.value(QStringLiteral("method")).toInt();
        e.crc = static_cast<quint32>(o.value(QStringLiteral("crc")).toDouble());
        e.compressed = static_cast<qint64>(o.value(QStringLiteral("compressed")).toDouble());
        e.size = static_cast<qint64>(o.value(QStringLiteral("size")).toDouble());
        for (const QJsonValue& part : o.value(QStringLiteral("date_time")).toArray())
            e.dateTime.append(part.toInt());
        e.extra = QByteArray::fromHex(o.value(QStringLiteral("extra")).toString().toLatin1());
        e.offset = static_cast<qint64>(o.value(QStringLiteral("offset")).toDouble());
        e.external = static_cast<quint32>(o.value(QStringLiteral("external")).toDouble());
        e.rawDigest = o.value(QStringLiteral("raw_digest")).toString().toLatin1();
        e.rawCrc = static_cast<quint32>(o.value(QStringLiteral("raw_crc")).toDouble());
        listing.entries.push_back(e);
    }
    listing.ok = true;
    return listing;
}

QByteArray entryNameOf(const std::filesystem::path& file) {
    QByteArray name(file.lexically_normal().native().c_str());
    while (name.startsWith('/'))
        name.remove(0, 1);
    return name;
}

} // namespace archivecheck
