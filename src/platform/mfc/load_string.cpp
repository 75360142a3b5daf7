#include "platform/mfc/load_string.h"

#include <mutex>
#include <utility>

#include "platform/mfc/string_table.h"

namespace tarnwick {
namespace {

std::mutex& SourceMutex() {
    static std::mutex mutex;
    return mutex;
}

StringSource& CurrentSource() {
    static StringSource source;
    return source;
}

StringSource Exchange(StringSource source) {
    std::lock_guard<std::mutex> lock(SourceMutex());
    return std::exchange(CurrentSource(), std::move(source));
}

}  // namespace

bool LoadString(int id, std::string& text) {
    StringSource source;
    {
        std::lock_guard<std::mutex> lock(SourceMutex());
        source = CurrentSource();
    }
    std::optional<std::string> found;
    if (source) {
        found = source(id);
    } else if (auto resource = FindStringResource(id)) {
        found = std::string(*resource);
    }
    text = found.value_or(std::string());
    return found.has_value();
}

ScopedStringSource::ScopedStringSource(StringSource source)
    : m_previous(Exchange(std::move(source))) {}

ScopedStringSource::~ScopedStringSource() {
    Exchange(std::move(m_previous));
}

}  // namespace tarnwick
