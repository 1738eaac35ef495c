#pragma once

#include "core/userprompts.h"

// While it lives, the boxes of `prompts` belong to `window` (a window with boxes of its own, such
// as the restore window); then to the window they belonged to before.
class PromptOwner {
public:
    PromptOwner(UserPrompts& prompts, QObject* window)
        : m_prompts(prompts)
        , m_previous(prompts.ownerWindow()) {
        m_prompts.setOwnerWindow(window);
    }
    ~PromptOwner() { m_prompts.setOwnerWindow(m_previous); }
    PromptOwner(const PromptOwner&) = delete;
    PromptOwner& operator=(const PromptOwner&) = delete;

private:
    UserPrompts& m_prompts;
    QObject* m_previous;
};
