#pragma once

#include <string>
#include <vector>

namespace tonvela {

// Messages the user must see: errors with an OK button and yes/no/cancel questions. The
// desktop application shows message boxes; the command-line tool prints; tests collect.
class Notifier {
  public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Notifier() = default;
    virtual void error(const std::string& text, const std::string& caption = "Error") = 0;
    virtual Answer question(const std::string& text, const std::string& caption) = 0;
};

// Writes errors to standard error and answers every question with `answer`.
class StderrNotifier : public Notifier {
  public:
    explicit StderrNotifier(Answer answer = Answer::Cancel) : m_answer(answer) {}
    void error(const std::string& text, const std::string& caption) override;
    Answer question(const std::string& text, const std::string& caption) override;

  private:
    Answer m_answer;
};

// Keeps every message; questions get the queued answers in order, then `fallback`.
class CollectingNotifier : public Notifier {
  public:
    struct Message {
        std::string text;
        std::string caption;
        bool isQuestion = false;
    };

    void error(const std::string& text, const std::string& caption) override;
    Answer question(const std::string& text, const std::string& caption) override;

    std::vector<Message> messages;
    std::vector<Answer> answers;
    Answer fallback = Answer::Cancel;
};

} // namespace tonvela
