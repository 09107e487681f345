#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// Messages the user must see: errors and warnings with an OK button, and yes/no/cancel
// questions. A warning says that something was done but not all of it (a file loaded without
// the part beyond a limit); an error that it failed. The desktop application shows message
// boxes with the error or warning icon; the command-line tool prints; tests collect.
class Notifier {
  public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Notifier() = default;
    virtual void error(const std::string& text, const std::string& caption = "Error") = 0;
    virtual void warning(const std::string& text, const std::string& caption = "Warning") = 0;
    virtual Answer question(const std::string& text, const std::string& caption) = 0;
};

// The most a message may hold when shown: a box that shapes megabytes of text freezes the
// window for minutes, and a file may name anything.
inline constexpr int kMaxMessageLines = 40;
inline constexpr int kMaxMessageLineCharacters = 200;

// `text` as a box shows it (and the command-line tool prints it): lines longer than
// kMaxMessageLineCharacters characters are wrapped between words (or cut, on a character
// boundary, where a word is longer), and beyond kMaxMessageLines lines the last says how many
// more there were ("... and 123 more lines").
std::string boundedMessage(std::string_view text);

// Writes errors and warnings to standard error and answers every question with `answer`.
class StderrNotifier : public Notifier {
  public:
    explicit StderrNotifier(Answer answer = Answer::Cancel) : m_answer(answer) {}
    void error(const std::string& text, const std::string& caption) override;
    void warning(const std::string& text, const std::string& caption) override;
    Answer question(const std::string& text, const std::string& caption) override;

  private:
    Answer m_answer;
};

// Keeps every message: errors and questions in `messages`, warnings apart in `warnings`.
// Questions get the queued answers in order, then `fallback`.
class CollectingNotifier : public Notifier {
  public:
    struct Message {
        std::string text;
        std::string caption;
        bool isQuestion = false;
    };

    void error(const std::string& text, const std::string& caption) override;
    void warning(const std::string& text, const std::string& caption) override;
    Answer question(const std::string& text, const std::string& caption) override;

    std::vector<Message> messages;
    std::vector<Message> warnings;
    std::vector<Answer> answers;
    Answer fallback = Answer::Cancel;
};

} // namespace tonvela
