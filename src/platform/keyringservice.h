#pragma once

#include <QString>

namespace platform {

// Whether the desktop offers a keyring the password store can use: on Linux a Secret Service
// (or the desktop's wallet) registered or startable on the session bus; Windows always has its
// credential store. `why` says what is missing when there is none.
bool keyringServiceReachable(QString* why = nullptr);

// Whether the keyring that passwords go to is locked. A locked keyring that cannot ask the user to
// unlock it answers every lookup as if the password were not there.
bool keyringLocked();

} // namespace platform
