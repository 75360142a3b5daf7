// Answers the driver's message boxes from a list, in order, and records the requests.
#pragma once

#include <initializer_list>
#include <vector>

#include "platform/message_box.h"

namespace tarnwick {

// IDOK once the list runs out.
class ScopedMessageScript {
  public:
    explicit ScopedMessageScript(std::vector<int> answers = {});
    ScopedMessageScript(std::initializer_list<int> answers);
    ~ScopedMessageScript();
    ScopedMessageScript(const ScopedMessageScript&) = delete;
    ScopedMessageScript& operator=(const ScopedMessageScript&) = delete;

    const std::vector<MessageRequest>& requests() const { return m_requests; }

  private:
    std::vector<int> m_answers;
    std::vector<MessageRequest> m_requests;
    MessageHandler m_previous;
};

}  // namespace tarnwick
