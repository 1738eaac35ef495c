#pragma once

#include <QStringList>

// The ten sound events of the program, each with its recording in sounds/.
inline const QStringList allEvents{QStringLiteral("backup_completed"),
                                   QStringLiteral("backup_incomplete"),
                                   QStringLiteral("backups_completed"),
                                   QStringLiteral("backups_incomplete"),
                                   QStringLiteral("dest_noselect"),
                                   QStringLiteral("dest_notfound"),
                                   QStringLiteral("outdated_found"),
                                   QStringLiteral("outdated_deleted"),
                                   QStringLiteral("update"),
                                   QStringLiteral("latest")};
