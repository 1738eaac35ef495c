#pragma once

#include "apptestharness.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// A program directory with two folders of files (data/Docs, data/Photos), a destination
// and a settings file that lists folders.
class BackupFixture {
public:
    explicit BackupFixture(bool withProgramFiles = true);

    // Enough incompressible data that archiving takes a while and events are handled meanwhile.
    void addBulk();
    // Writes the settings file: the destination, extra [settings] lines and the folders.
    void settings(const QByteArray& extra, const QStringList& folders);
    QStringList archives() const;
    QStringList entries(const QString& archiveName) const;
    static bool unzipTest(const QString& archive);
    // Returns once the clock shows another second than when called: a dated archive named
    // before the call and one named after it differ.
    static void waitForNextSecond();
    // Runs `action` once, on the GUI thread, when the archive component reports its first file.
    static void onFirstFile(MainWindow& form, std::function<void()> action);

    AppTestHarness h;
    QString docs;
    QString photos;
    QString destination;
};
