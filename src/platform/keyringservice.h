#pragma once

#include <QString>

namespace platform {

// Whether the desktop offers a keyring the password store can use: on Linux a Secret Service
// (or the desktop's wallet) registered or startable on the session bus; Windows always has its
// credential store. `why` says what is missing when there is none.
bool keyringServiceReachable(QString* why = nullptr);

} // namespace platform
