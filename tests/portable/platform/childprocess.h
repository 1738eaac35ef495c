#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A program a test starts and may kill, as the system kills a process: no chance to clean up.
class ChildProcess {
public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    ~ChildProcess(); // kills it when it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_started; }
    // Ends it at once and waits until it is gone.
    void kill();
    // Waits until it ends by itself; its exit status, or -1 when it was not started or was
    // ended by a signal.
    int waitForExit();

private:
    bool m_started = false;
    bool m_running = false;
    std::intptr_t m_process = 0; // the process id here, its handle on Windows
};
