#pragma once

#include "restore/archiveverify.h"
#include "restore/restorereport.h"

#include <QString>

// The texts that tell the user how a restore or a verification went.
class RestoreMessages {
public:
    static constexpr int MaxListed = 40; // names listed before "... and N more"

    static QString reportText(const RestoreReport& report);
    static QString verifyText(const QString& archiveName, const ArchiveVerify::Result& result);
    static QString reasonText(RestoreReport::Reason reason);
};
