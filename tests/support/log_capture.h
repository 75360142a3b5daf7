// Collects every entry of the host's log written during its lifetime instead of printing it.
#pragma once

#include <utility>
#include <vector>

#include "host/kv_log.h"

namespace tarnwick {

class ScopedLogCapture {
  public:
    ScopedLogCapture()
        : m_previous(SetLogSink([this](const LogEntry& e) { m_entries.push_back(e); })) {}
    ~ScopedLogCapture() { SetLogSink(std::move(m_previous)); }
    ScopedLogCapture(const ScopedLogCapture&) = delete;
    ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

    const std::vector<LogEntry>& entries() const { return m_entries; }

  private:
    std::vector<LogEntry> m_entries;
    LogSink m_previous;
};

}  // namespace tarnwick
