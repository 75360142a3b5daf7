// Answers the driver's message boxes from a list, in order (IDOK once it runs out), and records
// the requests.
#pragma once

#include <utility>
#include <vector>

#include "platform/message_box.h"

namespace tarnwick {

class ScopedMessageScript {
  public:
    explicit ScopedMessageScript(std::vector<int> answers = {})
        : m_answers(std::move(answers)),
          m_previous(SetMessageHandler([this](const MessageRequest& r) {
              m_requests.push_back(r);
              return m_requests.size() <= m_answers.size() ? m_answers[m_requests.size() - 1]
                                                           : IDOK;
          })) {}
    ~ScopedMessageScript() { SetMessageHandler(std::move(m_previous)); }
    ScopedMessageScript(const ScopedMessageScript&) = delete;
    ScopedMessageScript& operator=(const ScopedMessageScript&) = delete;

    const std::vector<MessageRequest>& requests() const { return m_requests; }

  private:
    std::vector<int> m_answers;
    std::vector<MessageRequest> m_requests;
    MessageHandler m_previous;
};

}  // namespace tarnwick
