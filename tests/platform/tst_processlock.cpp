// The lock between processes: exclusive even inside one process, its file gone once it is let go,
// and taken again by the next holder on the name as it is now.
#include "platform/processlock.h"

#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

class TestProcessLock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exclusiveAndLeavesNothingBehind() {
        QTemporaryDir dir;
        const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "one.lock";
        platform::ProcessLock first(file);
        platform::ProcessLock second(file);
        QCOMPARE(first.tryLock(), platform::ProcessLock::Result::Locked);
        QCOMPARE(second.tryLock(), platform::ProcessLock::Result::HeldElsewhere);
        first.unlock();
        QVERIFY(!std::filesystem::exists(file));
        QCOMPARE(second.tryLock(), platform::ProcessLock::Result::Locked);
        QVERIFY(std::filesystem::exists(file));
        // A holder that let go does not take the file away from the next one.
        first.unlock();
        QVERIFY(std::filesystem::exists(file));
        QCOMPARE(first.tryLock(), platform::ProcessLock::Result::HeldElsewhere);
        second.unlock();
        QVERIFY(!std::filesystem::exists(file));
    }

    // A file left by a killed holder is simply taken over.
    void leftoverFileIsTakenOver() {
        QTemporaryDir dir;
        const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "left.lock";
        { std::ofstream(file) << "x"; }
        platform::ProcessLock lock(file);
        QCOMPARE(lock.tryLock(), platform::ProcessLock::Result::Locked);
    }

    // What the holder publishes is what others read, a shorter text replacing a longer one whole;
    // a link in the file's place is nobody's lock and says nothing.
    void publishedTextAndLinks() {
        QTemporaryDir dir;
        const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "said.lock";
        platform::ProcessLock holder(file);
        platform::ProcessLock other(file);
        QCOMPARE(holder.tryLock(), platform::ProcessLock::Result::Locked);
        QVERIFY(other.published().empty());
        QVERIFY(holder.publish("/run/a/rather/long/socket/name"));
        QVERIFY(holder.publish("/run/short"));
        QCOMPARE(other.published(), std::string("/run/short"));
        QVERIFY(!other.publish("not the holder"));
        holder.unlock();

        const std::filesystem::path target = std::filesystem::path(dir.path().toStdString()) / "target";
        { std::ofstream(target) << "/run/theirs"; }
        std::filesystem::create_symlink(target, file);
        platform::ProcessLock linked(file);
        QCOMPARE(linked.tryLock(), platform::ProcessLock::Result::Failed);
        QVERIFY(linked.published().empty());
    }
};

QTEST_GUILESS_MAIN(TestProcessLock)
#include "tst_processlock.moc"
