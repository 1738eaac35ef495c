#pragma once

// The busy state of the main window. While it holds, the controls that start a count, a
// backup or a change of the folder list are disabled. StopWait sets the event marker
// "stop_wait" as its first step.
class BusyState {
public:
    virtual ~BusyState() = default;
    virtual void StartWait() = 0;
    virtual void StopWait() = 0;
};
