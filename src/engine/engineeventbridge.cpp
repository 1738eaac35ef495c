#include "engine/engineeventbridge.h"

#include "engine/archivecomponent.h"
#include "platform/pathbytes.h"

#include <utility>

namespace {

QString messageText(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

EngineEventBridge::EngineEventBridge(ArchiveComponent* owner)
    : m_owner(owner) {}

ZeCallbacks EngineEventBridge::callbacks() {
    ZeCallbacks cb{};
    cb.user = this;
    cb.progress = &onProgress;
    cb.item = &onItem;
    cb.total = &onTotal;
    cb.message = &onMessage;
    cb.checkTerminate = &onCheckTerminate;
    return cb;
}

void EngineEventBridge::onProgress(void* user, int kind, const char* name, std::int64_t value) {
    auto* self = static_cast<EngineEventBridge*>(user);
    std::lock_guard lock(self->m_mutex);
    Progress p{kind, name != nullptr ? name : std::string(), value};
    if (kind == ZE_PROGRESS_NEW_FILE || kind == ZE_PROGRESS_UPDATE || kind == ZE_PROGRESS_EXTRA_UPDATE) {
        self->m_progress = std::move(p);
        self->m_progressChanged = true;
    } else {
        self->m_batchEvents.push_back(std::move(p));
    }
}

void EngineEventBridge::onItem(void* user, const char* name, std::int64_t totalSize, int percent) {
    auto* self = static_cast<EngineEventBridge*>(user);
    std::lock_guard lock(self->m_mutex);
    if (name != nullptr && self->m_item != name)
        self->m_item = name;
    self->m_itemSize = totalSize;
    self->m_itemPercent = percent;
    self->m_itemChanged = true;
}

void EngineEventBridge::onTotal(void* user, std::int64_t totalSize, int percent) {
    auto* self = static_cast<EngineEventBridge*>(user);
    std::lock_guard lock(self->m_mutex);
    self->m_totalSize = totalSize;
    self->m_totalPercent = percent;
    self->m_totalChanged = true;
}

void EngineEventBridge::onMessage(void* user, int code, const char* text) {
    auto* self = static_cast<EngineEventBridge*>(user);
    std::lock_guard lock(self->m_mutex);
    self->m_messages.push_back({code, text != nullptr ? text : std::string()});
    self->m_lastTexts[code] = self->m_messages.back().text;
}

void EngineEventBridge::requestCancel() {
    std::lock_guard lock(m_pauseMutex);
    m_cancel.store(true);
    m_resume.notify_all();
}

void EngineEventBridge::setPaused(bool paused) {
    std::lock_guard lock(m_pauseMutex);
    m_paused = paused;
    m_resume.notify_all();
}

int EngineEventBridge::onCheckTerminate(void* user) {
    auto* self = static_cast<EngineEventBridge*>(user);
    std::unique_lock lock(self->m_pauseMutex);
    self->m_resume.wait(lock, [self] { return !self->m_paused || self->m_cancel.load(); });
    return self->m_cancel.load() ? 1 : 0;
}

void EngineEventBridge::deliver() {
    std::vector<Message> messages;
    std::vector<Progress> batchEvents;
    Progress progress;
    bool progressChanged = false;
    std::filesystem::path item;
    std::int64_t itemSize = 0;
    int itemPercent = 0;
    bool itemChanged = false;
    std::int64_t totalSize = 0;
    int totalPercent = 0;
    bool totalChanged = false;
    {
        std::lock_guard lock(m_mutex);
        messages.swap(m_messages);
        batchEvents.swap(m_batchEvents);
        if (m_progressChanged)
            progress = m_progress;
        progressChanged = std::exchange(m_progressChanged, false);
        if (m_itemChanged)
            item = pathFromBytes(m_item);
        itemSize = m_itemSize;
        itemPercent = m_itemPercent;
        itemChanged = std::exchange(m_itemChanged, false);
        totalSize = m_totalSize;
        totalPercent = m_totalPercent;
        totalChanged = std::exchange(m_totalChanged, false);
    }
    for (const Message& m : messages)
        Q_EMIT m_owner->OnMessage(m.code, messageText(m.text));
    auto raise = [this](const Progress& p) {
        Q_EMIT m_owner->OnProgress(static_cast<ArchiveComponent::ProgressType>(p.kind), pathFromBytes(p.name),
                                   p.value);
    };
    for (const Progress& p : batchEvents) {
        if (p.kind != ZE_PROGRESS_END_OF_BATCH)
            raise(p);
    }
    if (progressChanged)
        raise(progress);
    if (itemChanged)
        Q_EMIT m_owner->OnItemProgress(item, itemSize, itemPercent);
    if (totalChanged)
        Q_EMIT m_owner->OnTotalProgress(totalSize, totalPercent);
    for (const Progress& p : batchEvents) {
        if (p.kind == ZE_PROGRESS_END_OF_BATCH)
            raise(p);
    }
}

QString EngineEventBridge::lastText(int code) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_lastTexts.find(code);
    return it != m_lastTexts.end() ? messageText(it->second) : QString();
}
