#include "enginefixture.h"

#include "archivecheck.h"
#include "engine/archivecomponent.h"

#include <QRandomGenerator>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;

EngineFixture::EngineFixture()
    : m_zip(std::make_unique<ArchiveComponent>()) {
    const fs::path built = fs::path(qEnvironmentVariable("QUORALIS_PROGRAM_DIR").toStdString()) / "dll";
    fs::create_directories(engineDir());
    for (const auto& entry : fs::directory_iterator(built))
        fs::copy_file(entry.path(), engineDir() / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
    std::filesystem::create_directories(root() / "out");
    m_zip->DLLDirectory = QString::fromStdString((root() / "dll").native()) + QLatin1Char('/');
    m_zip->LoadZipEngine();
    m_zip->LoadUnzipEngine();
}

EngineFixture::~EngineFixture() = default;

std::filesystem::path EngineFixture::writeSource(const std::string& relative,
                                                 const QByteArray& content) const {
    const std::filesystem::path file = root() / "src" / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.constData(), content.size());
    return file;
}

void EngineFixture::setMtime(const std::filesystem::path& file, std::int64_t seconds) {
    const struct timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

QByteArray EngineFixture::readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
}

int EngineFixture::add(const std::vector<std::filesystem::path>& files, int options, int level) {
    m_zip->FileSpecList = PathList(files);
    m_zip->AddOptions = ArchiveComponent::AddOpts(options);
    m_zip->AddCompLevel = level;
    m_zip->ZipFileName = archivePath();
    m_zip->ArchiveComment = QStringLiteral("Quoralis 07/12/2026");
    return m_zip->AddFiles();
}

QByteArray EngineFixture::text(std::size_t size, quint32 seed) {
    static const char* const words[] = {"backup ", "archive ", "folder ", "quoralis ", "file ", "the ",
                                        "of ",     "and ",     "zip ",    "data ",     "\n",    "size "};
    QRandomGenerator random(seed);
    QByteArray out;
    out.reserve(static_cast<qsizetype>(size));
    while (static_cast<std::size_t>(out.size()) < size)
        out += words[random.bounded(12)];
    out.truncate(static_cast<qsizetype>(size));
    return out;
}

QByteArray EngineFixture::noise(std::size_t size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(random.generate() & 0xff);
    return out;
}

void EngineFixture::verifyArchive(const std::filesystem::path& archive) {
    QString output;
    QCOMPARE(m_zip->TestArchive(archive), 0);
    QVERIFY2(archivecheck::unzipTest(archive, &output), qPrintable(output));
    QVERIFY2(archivecheck::pythonTest(archive, &output), qPrintable(output));
}
