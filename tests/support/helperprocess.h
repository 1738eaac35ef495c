#pragma once

class QProcess;

// Servers and daemons a test starts for itself.
namespace helperprocess {

// Has the process ended by the system when the test ends, however the test ends.
void endWithParent(QProcess& process);
// Ends the process: asked first, killed when it does not end within five seconds.
void stop(QProcess& process);

} // namespace helperprocess
