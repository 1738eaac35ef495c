#pragma once

#include "restore/archiveverify.h"
#include "restore/restorereport.h"
#include "restore/restorerequest.h"

#include <QString>
#include <QStringList>

// The activity log's lines for a restore or a verification: what was restored from where to
// where, with every count, and each entry that was not restored or failed its test.
class RestoreLogText {
public:
    static QStringList restoreLines(const RestoreRequest& request, const RestoreReport& report);
    static QStringList verifyLines(const QString& archiveName, const ArchiveVerify::Result& result);
};
