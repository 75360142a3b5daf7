// KV_LOG: the host's logging facility. A KVLogHelper names the source unit, line and level of the
// next entry; its static Log writes that entry to the process-wide sink.
#pragma once

#include <functional>
#include <string>

namespace tarnwick {

struct LogEntry {
    std::string source;
    int line = 0;
    char level = 'E';
    std::string text;
};

class KVLogHelper {
  public:
    // Records source, line and level for the calling thread's next Log call.
    KVLogHelper(const char* source, int line, char level);
    // printf-style text in the C locale; trailing line breaks are dropped (the sink adds its own).
    static void Log(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
};

using LogSink = std::function<void(const LogEntry&)>;

// Installs sink and returns the previous one. An empty sink stands for the default, which writes
// "<level> <source>:<line>: <text>" as one line to stderr; an empty result means the default was
// installed. Sinks are called under a process-wide lock, one entry at a time.
LogSink SetLogSink(LogSink sink);

}  // namespace tarnwick
