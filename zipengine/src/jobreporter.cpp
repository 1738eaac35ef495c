#include "jobreporter.h"

#include "messagetable.h"

#include <algorithm>

namespace {

int percentOf(std::uint64_t done, std::uint64_t size) {
    return size == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(100, done * 100 / size));
}

} // namespace

JobReporter::JobReporter(const ZeCallbacks& callbacks, const MessageTable& messages)
    : m_callbacks(callbacks)
    , m_messages(messages) {}

void JobReporter::progress(int kind, const char* name, std::uint64_t value) const {
    if (m_callbacks.progress)
        m_callbacks.progress(m_callbacks.user, kind, name, static_cast<std::int64_t>(value));
}

void JobReporter::item(const char* name, std::uint64_t size, std::uint64_t done) const {
    if (m_callbacks.item)
        m_callbacks.item(m_callbacks.user, name, static_cast<std::int64_t>(size), percentOf(done, size));
}

void JobReporter::total(std::uint64_t size, std::uint64_t done) const {
    if (m_callbacks.total)
        m_callbacks.total(m_callbacks.user, static_cast<std::int64_t>(size), percentOf(done, size));
}

void JobReporter::message(int code, const std::string& detail) const {
    if (m_callbacks.message)
        m_callbacks.message(m_callbacks.user, code, m_messages.format(code, detail).c_str());
}

bool JobReporter::terminateRequested() const {
    return m_callbacks.checkTerminate && m_callbacks.checkTerminate(m_callbacks.user) != 0;
}
