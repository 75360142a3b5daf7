#include "support/message_script.h"

#include <utility>

namespace tarnwick {

ScopedMessageScript::ScopedMessageScript(std::vector<int> answers)
    : m_answers(std::move(answers)), m_previous(SetMessageHandler([this](const MessageRequest& r) {
          const size_t index = m_requests.size();
          m_requests.push_back(r);
          return index < m_answers.size() ? m_answers[index] : IDOK;
      })) {}

ScopedMessageScript::ScopedMessageScript(std::initializer_list<int> answers)
    : ScopedMessageScript(std::vector<int>(answers)) {}

ScopedMessageScript::~ScopedMessageScript() {
    SetMessageHandler(std::move(m_previous));
}

}  // namespace tarnwick
