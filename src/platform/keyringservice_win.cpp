#include "keyringservice.h"

namespace platform {

bool keyringServiceReachable(QString* why) {
    Q_UNUSED(why);
    return true;
}

bool keyringLocked() {
    return false; // the credential store opens with the user's session
}

} // namespace platform
