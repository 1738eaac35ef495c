#include "childprocess.h"

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    m_started = posix_spawn(&pid, words.front().c_str(), nullptr, nullptr, argv.data(), environ) == 0;
    m_running = m_started;
    m_process = pid;
}

ChildProcess::~ChildProcess() {
    kill();
}

void ChildProcess::kill() {
    if (!m_running)
        return;
    const auto pid = static_cast<pid_t>(m_process);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    m_running = false;
}

int ChildProcess::waitForExit() {
    if (!m_running)
        return -1;
    int status = 0;
    const pid_t ended = ::waitpid(static_cast<pid_t>(m_process), &status, 0);
    m_running = false;
    return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
