#pragma once

#include "platform/notifier.h"

class QWidget;

namespace tonvela {

// Shows errors and questions as modal message boxes over the main window: errors with an OK
// button, questions with Yes, No and Cancel (closing the box answers Cancel).
class MessageBoxNotifier : public Notifier {
  public:
    explicit MessageBoxNotifier(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void error(const std::string& text, const std::string& caption) override;
    Answer question(const std::string& text, const std::string& caption) override;

  private:
    QWidget* m_parent;
};

} // namespace tonvela
