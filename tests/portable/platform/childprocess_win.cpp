#include "childprocess.h"

#include <windows.h>

namespace {
// The command line a C runtime splits back into these words: quotes around each, a quote
// inside and the backslashes before it escaped.
std::wstring quoted(const std::wstring& word) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}
} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    std::wstring commandLine = quoted(program.native());
    for (const std::string& argument : arguments) {
        const std::u8string utf8(argument.begin(), argument.end());
        commandLine += L" " + quoted(std::filesystem::path(utf8).native());
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    m_started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info);
    if (m_started) {
        CloseHandle(info.hThread);
        m_process = reinterpret_cast<std::intptr_t>(info.hProcess);
        m_running = true;
    }
}

ChildProcess::~ChildProcess() {
    kill();
}

void ChildProcess::kill() {
    if (!m_running)
        return;
    const auto process = reinterpret_cast<HANDLE>(m_process);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
    m_running = false;
}

int ChildProcess::waitForExit() {
    if (!m_running)
        return -1;
    const auto process = reinterpret_cast<HANDLE>(m_process);
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(process, &code);
    CloseHandle(process);
    m_running = false;
    return known ? int(code) : -1;
}
