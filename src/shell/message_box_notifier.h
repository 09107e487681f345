#pragma once

#include "platform/notifier.h"

#include <QMessageBox>

class QWidget;

namespace tonvela {

// Shows errors, warnings and questions as modal message boxes over the main window: errors
// with the error icon and an OK button, warnings with the warning icon and an OK button,
// questions with Yes, No and Cancel (closing the box answers Cancel). Errors and warnings from
// other threads are shown by the user-interface thread; the reporting thread goes on at once.
class MessageBoxNotifier : public Notifier {
  public:
    explicit MessageBoxNotifier(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void error(const std::string& text, const std::string& caption) override;
    void warning(const std::string& text, const std::string& caption) override;
    Answer question(const std::string& text, const std::string& caption) override;

  private:
    void show(QMessageBox::Icon icon, const std::string& caption, const std::string& text);

    QWidget* m_parent;
};

} // namespace tonvela
