#include "host/kv_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>

#include "host/c_locale.h"

namespace tarnwick {

namespace {

struct PendingSite {
    std::string source;
    int line = 0;
    char level = 'E';
};

thread_local PendingSite t_site;

// Recursive, so a sink that itself logs does not deadlock.
std::recursive_mutex& SinkMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

LogSink& CurrentSink() {
    static LogSink sink;
    return sink;
}

void WriteToStderr(const LogEntry& entry) {
    std::fprintf(stderr, "%c %s:%d: %s\n", entry.level, entry.source.c_str(), entry.line,
                 entry.text.c_str());
}

}  // namespace

KVLogHelper::KVLogHelper(const char* source, int line, char level) {
    t_site.source = source ? source : "";
    t_site.line = line;
    t_site.level = level;
}

void KVLogHelper::Log(const char* fmt, ...) {
    LogEntry entry{t_site.source, t_site.line, t_site.level, std::string()};
    va_list args;
    va_start(args, fmt);
    entry.text = VFormatC(fmt, args);
    va_end(args);
    while (!entry.text.empty() && (entry.text.back() == '\n' || entry.text.back() == '\r')) {
        entry.text.pop_back();
    }

    std::lock_guard<std::recursive_mutex> lock(SinkMutex());
    // A copy, so a sink that replaces itself while running is not destroyed under its own feet.
    const LogSink sink = CurrentSink();
    if (sink) {
        sink(entry);
    } else {
        WriteToStderr(entry);
    }
}

LogSink SetLogSink(LogSink sink) {
    std::lock_guard<std::recursive_mutex> lock(SinkMutex());
    return std::exchange(CurrentSink(), std::move(sink));
}

}  // namespace tarnwick
