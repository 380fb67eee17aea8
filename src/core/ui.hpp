// The Ui port: everything an operation or a file command tells or asks the user goes through
// this interface, never through widgets. The window, the terminal and the tests each provide
// an implementation.
#pragma once

#include <string>
#include <string_view>

namespace kestrum {

enum class MessageKind { Information, Warning, Error };
// The single button of a message box.
enum class MessageButton { Ok, Cancel };

class Ui {
 public:
  virtual ~Ui() = default;

  // A modal message box; returns when the user has closed it.
  virtual void Message(MessageKind kind, std::string_view text,
                       MessageButton button = MessageButton::Ok) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool Question(std::string_view text) = 0;
};

}  // namespace kestrum
