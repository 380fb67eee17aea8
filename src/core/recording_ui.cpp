// Recording Ui for tests.
#include "core/recording_ui.hpp"

namespace kestrum {

void RecordingUi::Message(MessageKind kind, std::string_view text, MessageButton button) {
  entries_.push_back({Entry::Type::Message, kind, button, std::string(text), false});
}

bool RecordingUi::Question(std::string_view text) {
  bool answer = defaultAnswer;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  entries_.push_back({Entry::Type::Question, MessageKind::Information, MessageButton::Ok,
                      std::string(text), answer});
  return answer;
}

std::vector<std::string> RecordingUi::Messages() const {
  std::vector<std::string> texts;
  for (const Entry& e : entries_) {
    if (e.type == Entry::Type::Message) texts.push_back(e.text);
  }
  return texts;
}

std::vector<std::string> RecordingUi::Questions() const {
  std::vector<std::string> texts;
  for (const Entry& e : entries_) {
    if (e.type == Entry::Type::Question) texts.push_back(e.text);
  }
  return texts;
}

}  // namespace kestrum
