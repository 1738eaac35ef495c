#pragma once

// While it lives, the process obeys permission bits: a process running as root (which
// ignores them) takes the identity of "nobody" until the scope ends. The folders a test
// uses must then be reachable by everybody.
class UnprivilegedScope {
public:
    UnprivilegedScope();
    ~UnprivilegedScope();
    UnprivilegedScope(const UnprivilegedScope&) = delete;
    UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;

    bool isActive() const { return m_active; }

private:
    bool m_droppedRoot = false;
    bool m_active = false;
};
