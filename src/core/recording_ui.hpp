// A Ui for tests: keeps every message and question in order and answers questions from a
// script, so a test can assert the exact texts the user would see.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/ui.hpp"

namespace kestrum {

class RecordingUi : public Ui {
 public:
  struct Entry {
    enum class Type { Message, Question } type;
    MessageKind kind = MessageKind::Information;  // messages only
    MessageButton button = MessageButton::Ok;      // messages only
    std::string text;
    bool answer = false;  // questions only

    bool operator==(const Entry&) const = default;
  };

  void Message(MessageKind kind, std::string_view text, MessageButton button) override;
  bool Question(std::string_view text) override;

  // Answers for the next questions, in order; when they run out, `defaultAnswer` is given.
  void Answer(bool yes) { answers_.push_back(yes); }
  bool defaultAnswer = true;

  const std::vector<Entry>& Entries() const { return entries_; }
  // The texts of all messages (not questions), in order.
  std::vector<std::string> Messages() const;
  std::vector<std::string> Questions() const;
  void Clear() { entries_.clear(); }

 private:
  std::vector<Entry> entries_;
  std::deque<bool> answers_;
};

}  // namespace kestrum
