#pragma once

#include <QString>

// A file system mounted on a folder for the life of a test: a small tmpfs (to fill up), a
// read-only tmpfs, or a folder bound read-only onto itself. Needs the right to mount (root);
// isActive() says whether the mount was made, and the test skips itself otherwise.
class TestMount {
public:
    enum class Kind { SmallTmpfs, ReadOnlyTmpfs, ReadOnlyBind };

    TestMount(Kind kind, const QString& folder, qint64 bytes = 64 * 1024);
    ~TestMount();
    TestMount(const TestMount&) = delete;
    TestMount& operator=(const TestMount&) = delete;

    bool isActive() const { return m_active; }
    QString error() const { return m_error; }

private:
    bool run(const QStringList& arguments);

    QString m_folder;
    bool m_active = false;
    QString m_error;
};
