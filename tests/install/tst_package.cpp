#include "installedlayout.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The Debian package the build makes with cpack: what it holds, what it declares, and whether
// the desktop, the software centre and lintian accept it.
class TestPackage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void holdsTheInstallationUnderUsr();
    void declaresItselfAndItsLibraries();
    void menuEntryIconsAndMetadataAreValid();
    void lintianFindsNoErrors();

private:
    struct Member {
        QString mode;
        QString owner;
        QString linkTarget;
    };
    QString unpacked(const QString& relative) const {
        return m_temp.filePath(QStringLiteral("root/")) + relative;
    }

    QTemporaryDir m_temp;
    QString m_package;
    QMap<QString, Member> m_members; // by path without the leading "./"
};

void TestPackage::initTestCase() {
    QVERIFY(m_temp.isValid());
    QByteArray output;
    const int made = InstalledLayout::run(QStringLiteral(CPACK_COMMAND_PATH),
                                          {QStringLiteral("--config"),
                                           QStringLiteral(QUORALIS_BUILD_DIR "/CPackConfig.cmake"),
                                           QStringLiteral("-B"), m_temp.path()},
                                          &output);
    QVERIFY2(made == 0, output.constData());
    const QStringList debs = QDir(m_temp.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    m_package = m_temp.filePath(debs.first());
    QVERIFY2(debs.first().startsWith(QStringLiteral("quoralis2005_" QUORALIS_VERSION_TEXT "_")),
             qPrintable(debs.first()));

    QVERIFY2(InstalledLayout::run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), m_package}, &output) ==
                 0,
             output.constData());
    // -rwxr-xr-x root/root  12345 2026-12-07 12:00 ./usr/bin/x -> ../lib/x
    static const QRegularExpression line(
        QStringLiteral(R"(^(\S+)\s+(\S+)\s+\d+\s+\S+\s+\S+\s+\./(.*?)(?: -> (.*))?$)"));
    for (const QByteArray& text : output.split('\n')) {
        if (text.isEmpty())
            continue;
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(text));
        QVERIFY2(match.hasMatch(), text.constData());
        QString path = match.captured(3);
        if (path.endsWith(QLatin1Char('/')))
            path.chop(1);
        m_members.insert(path, {match.captured(1), match.captured(2), match.captured(4)});
    }
    QVERIFY2(InstalledLayout::run(QStringLiteral("dpkg-deb"),
                                  {QStringLiteral("-x"), m_package, m_temp.filePath(QStringLiteral("root"))},
                                  &output) == 0,
             output.constData());
}

void TestPackage::holdsTheInstallationUnderUsr() {
    QStringList expected{QStringLiteral("usr/share/applications/quoralis2005.desktop"),
                         QStringLiteral("usr/share/metainfo/quoralis2005.metainfo.xml"),
                         QStringLiteral("usr/share/doc/quoralis2005/copyright"),
                         QStringLiteral("usr/share/doc/quoralis2005/changelog.gz"),
                         QStringLiteral("usr/share/man/man1/quoralis2005.1.gz")};
    for (const QString& file : InstalledLayout::programFiles())
        expected.append(QStringLiteral("usr/lib/quoralis2005/") + file);
    for (const QString& icon : InstalledLayout::iconFiles())
        expected.append(QStringLiteral("usr/") + icon);
    for (const QString& file : expected) {
        QVERIFY2(m_members.contains(file), qPrintable(file));
        QVERIFY2(m_members[file].mode.startsWith(QLatin1Char('-')), qPrintable(file));
    }
    QCOMPARE(m_members[QStringLiteral("usr/lib/quoralis2005/quoralis2005")].mode,
             QStringLiteral("-rwxr-xr-x"));
    QCOMPARE(m_members[QStringLiteral("usr/share/applications/quoralis2005.desktop")].mode,
             QStringLiteral("-rw-r--r--"));

    const Member launcher = m_members.value(QStringLiteral("usr/bin/quoralis2005"));
    QVERIFY(launcher.mode.startsWith(QLatin1Char('l')));
    QCOMPARE(launcher.linkTarget, QStringLiteral("../lib/quoralis2005/quoralis2005"));

    // Nothing lands outside the program's own places, and root owns all of it.
    static const QRegularExpression ownPlaces(QStringLiteral(
        "^(|usr|usr/bin|usr/lib|usr/share|usr/share/applications|usr/share/metainfo|usr/share/doc|"
        "usr/share/icons(/hicolor(/[^/]+(/apps)?)?)?|usr/share/man(/man1)?|usr/bin/quoralis2005|"
        "usr/lib/quoralis2005(/.*)?|usr/share/doc/quoralis2005(/.*)?|"
        "usr/share/icons/hicolor/[^/]+/apps/quoralis2005\\.(png|svg)|"
        "usr/share/applications/quoralis2005\\.desktop|usr/share/metainfo/quoralis2005\\.metainfo\\.xml|"
        "usr/share/man/man1/quoralis2005\\.1\\.gz)$"));
    for (auto member = m_members.cbegin(); member != m_members.cend(); ++member) {
        QVERIFY2(ownPlaces.match(member.key()).hasMatch(), qPrintable(member.key()));
        QVERIFY2(member->owner == QStringLiteral("root/root"),
                 qPrintable(member.key() + QLatin1Char(' ') + member->owner));
        if (member->mode.startsWith(QLatin1Char('d')))
            QVERIFY2(member->mode == QStringLiteral("drwxr-xr-x"), qPrintable(member.key()));
    }
}

void TestPackage::declaresItselfAndItsLibraries() {
    QByteArray fields;
    QVERIFY(InstalledLayout::run(QStringLiteral("dpkg-deb"),
                                 {QStringLiteral("-f"), m_package, QStringLiteral("Package"),
                                  QStringLiteral("Version"), QStringLiteral("Depends"),
                                  QStringLiteral("Maintainer")},
                                 &fields) == 0);
    QVERIFY2(fields.contains("Package: quoralis2005\n"), fields.constData());
    QVERIFY2(fields.contains("Version: " QUORALIS_VERSION_TEXT "\n"), fields.constData());
    QVERIFY2(fields.contains("Maintainer: Quoralis2005 developers <"), fields.constData());
    // The libraries the program and its engine link, with the versions dpkg-shlibdeps found.
    for (const char* library :
         {"libqt6widgets6 (>=", "libqt6multimedia6", "libzip4 (>=", "libdeflate0 (>=", "libc6 (>="})
        QVERIFY2(fields.contains(library), qPrintable(QByteArray(library) + " is missing in: " + fields));
}

void TestPackage::menuEntryIconsAndMetadataAreValid() {
    QByteArray output;
    const QString entry = unpacked(QStringLiteral("usr/share/applications/quoralis2005.desktop"));
    QVERIFY2(InstalledLayout::run(QStringLiteral("desktop-file-validate"), {entry}, &output) == 0,
             output.constData());
    QFile entryFile(entry);
    QVERIFY(entryFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = entryFile.readAll().split('\n');
    QVERIFY(lines.contains("Exec=\"/usr/lib/quoralis2005/quoralis2005\""));
    QVERIFY(lines.contains("Icon=quoralis2005"));

    const QString metainfo = unpacked(QStringLiteral("usr/share/metainfo/quoralis2005.metainfo.xml"));
    QVERIFY2(InstalledLayout::run(QStringLiteral("appstreamcli"),
                                  {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo},
                                  &output) == 0,
             output.constData());
    QFile metainfoFile(metainfo);
    QVERIFY(metainfoFile.open(QIODevice::ReadOnly));
    const QByteArray metadata = metainfoFile.readAll();
    QVERIFY(metadata.contains("<launchable type=\"desktop-id\">quoralis2005.desktop</launchable>"));
    QVERIFY(metadata.contains("<release version=\"" QUORALIS_VERSION_TEXT "\""));

    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString icon =
            unpacked(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/quoralis2005.png").arg(size));
        QCOMPARE(InstalledLayout::pngSize(icon), QSize(size, size));
    }
    QFile svg(unpacked(QStringLiteral("usr/share/icons/hicolor/scalable/apps/quoralis2005.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("<svg"));
}

void TestPackage::lintianFindsNoErrors() {
    QByteArray output;
    const int result =
        InstalledLayout::run(QStringLiteral("lintian"),
                             {QStringLiteral("--fail-on"), QStringLiteral("error"), m_package}, &output);
    QVERIFY2(result != -1, "lintian is missing (scripts/setup installs it)");
    QVERIFY2(result == 0, output.constData());
    QVERIFY2(!output.contains("\nE: ") && !output.startsWith("E: "), output.constData());
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
