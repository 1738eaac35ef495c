// ProfileFile runs the cases of the test data that the system's profile functions on Windows are
// run through too (tests/portable/platform/tst_profileapi.cpp), so our reader and writer are held
// to what Windows does, except where the data says ours deliberately differ.
#include "platform/profilefile.h"
#include "profilecases.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

class OurProfile : public ProfileOperations {
public:
    std::string read(const std::filesystem::path& file, const std::string& section, const std::string& key,
                     const std::string& defaultValue) override {
        return platform::ProfileFile(file)
            .readString(QByteArray::fromStdString(section), QByteArray::fromStdString(key),
                        QByteArray::fromStdString(defaultValue))
            .toStdString();
    }
    std::vector<std::string> keys(const std::filesystem::path& file, const std::string& section) override {
        std::vector<std::string> names;
        for (const QByteArray& name :
             platform::ProfileFile(file).readKeys(QByteArray::fromStdString(section)))
            names.push_back(name.toStdString());
        return names;
    }
    bool write(const std::filesystem::path& file, const std::string& section, const std::string& key,
               const std::string& value) override {
        try {
            platform::ProfileFile(file).writeString(QByteArray::fromStdString(section),
                                                    QByteArray::fromStdString(key),
                                                    QByteArray::fromStdString(value));
            return true;
        } catch (const platform::ProfileWriteError&) {
            return false;
        }
    }
    bool erase(const std::filesystem::path& file, const std::string& section) override {
        try {
            platform::ProfileFile(file).eraseSection(QByteArray::fromStdString(section));
            return true;
        } catch (const platform::ProfileWriteError&) {
            return false;
        }
    }
};

} // namespace

class TestProfileCases : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void casesOfTheTestData() {
        std::string error;
        const std::vector<ProfileCase> cases = readProfileCases(PROFILE_CASES_FILE, error);
        QVERIFY2(error.empty(), error.c_str());
        QVERIFY(cases.size() >= 20);
        QTemporaryDir dir;
        const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "cases.ini";
        OurProfile ours;
        QStringList faults;
        for (const ProfileCase& profileCase : cases) {
            const std::string fault = runProfileCase(profileCase, file, ours, ProfileSide::Ours);
            if (!fault.empty())
                faults.append(QString::fromStdString(fault));
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestProfileCases)
#include "tst_profilecases.moc"
