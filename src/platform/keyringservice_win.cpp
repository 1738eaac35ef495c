#include "keyringservice.h"

namespace platform {

bool keyringServiceReachable(QString* why) {
    Q_UNUSED(why);
    return true;
}

} // namespace platform
