#include "enginecalls.h"

namespace {

ZeCallbacks callbacksFor(EngineCalls::Run& run) {
    ZeCallbacks callbacks{};
    callbacks.user = &run;
    callbacks.message = [](void* user, int code, const char* text) {
        static_cast<EngineCalls::Run*>(user)->messages.emplace_back(code, text != nullptr ? text : "");
    };
    return callbacks;
}

} // namespace

std::string EngineCalls::Run::messageText() const {
    std::string text;
    for (const auto& [code, message] : messages)
        text += std::to_string(code) + ": " + message + "\n";
    return text;
}

EngineCalls::Run EngineCalls::add(const std::string& archive, const std::vector<std::string>& files,
                                  std::uint32_t options, int level) const {
    Run run;
    std::vector<const char*> paths;
    for (const std::string& file : files)
        paths.push_back(file.c_str());
    run.results.resize(files.size());
    ZeAddCommand command{};
    command.structSize = sizeof command;
    command.archivePath = archive.c_str();
    command.options = options;
    command.level = level;
    command.files = paths.data();
    command.fileCount = paths.size();
    command.results = run.results.data();
    const ZeCallbacks callbacks = callbacksFor(run);
    run.rc = m_engine.zipExec(&command, &callbacks);
    return run;
}

EngineCalls::Run EngineCalls::extract(const std::string& archive, const std::string& destination,
                                      std::uint32_t options) const {
    Run run;
    ZeExtractCommand command{};
    command.structSize = sizeof command;
    command.archivePath = archive.c_str();
    command.destination = destination.c_str();
    command.options = options;
    const ZeCallbacks callbacks = callbacksFor(run);
    run.rc = m_engine.unzipExec(&command, &callbacks);
    return run;
}
