#include "support/log_capture.h"

#include <utility>

namespace tarnwick {

ScopedLogCapture::ScopedLogCapture()
    : m_previous(SetLogSink([this](const LogEntry& entry) { m_entries.push_back(entry); })) {}

ScopedLogCapture::~ScopedLogCapture() {
    SetLogSink(std::move(m_previous));
}

}  // namespace tarnwick
