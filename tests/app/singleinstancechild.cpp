// One copy of the program as far as its settings file lock goes, in a process of its own.
// Usage: singleinstancechild SETTINGS_FILE hold
//          prints "primary" or "secondary"; as the first copy then "activated ARGS" or
//          "backup ARGS" for each request, answering none of the backups, until killed.
//        singleinstancechild SETTINGS_FILE forward ARG...
//          hands ARGs to the first copy, prints "outcome N" and ends with the exit status.
#include "app/singleinstance.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

void say(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 100;
    SingleInstance instance;
    const SingleInstance::Role role = instance.acquire(argv[1]);
    if (std::strcmp(argv[2], "hold") == 0) {
        if (role != SingleInstance::Role::Primary) {
            say(QStringLiteral("secondary"));
            return 101;
        }
        QObject::connect(&instance, &SingleInstance::activationRequested, [](const QStringList& arguments) {
            say(QStringLiteral("activated ") + arguments.join(u' '));
        });
        QObject::connect(&instance, &SingleInstance::backupRequested,
                         [](const QStringList& arguments, const SingleInstanceReply&) {
                             say(QStringLiteral("backup ") + arguments.join(u' '));
                         });
        say(QStringLiteral("primary"));
        return QCoreApplication::exec();
    }
    if (role != SingleInstance::Role::Secondary)
        return 102;
    const SingleInstance::Forwarded forwarded = instance.forward(app.arguments().mid(3));
    say(QStringLiteral("outcome %1").arg(int(forwarded.outcome)));
    return forwarded.exitStatus;
}
