#pragma once

#include "recovery/recovery_store.h"
#include "shell/recovery/recovery_offer.h"

#include <QDialog>

#include <vector>

class QListWidget;
class QPushButton;

namespace tonvela {

inline constexpr const char* kRecoveryDialogTitle = "Recover Documents";

// The entry the recovery question shows for a file: the title, the original path (or that the
// document was never saved) and when it was kept, and on a second line what Recover does when
// the original file may not be written (changed since, no document of the kind, not known) or
// is gone; for a damaged file its name and why it cannot be read.
QString recoveryFileLine(const RecoveryFile& file);

// The recovery question: what was found, and "Recover" (the default), "Discard" and "Later".
// Closing it (Escape, the window's close button) answers Later, which loses nothing.
//
// Thread rules: user-interface thread.
class RecoveryDialog : public QDialog {
  public:
    RecoveryDialog(const std::vector<RecoveryFile>& files, QWidget* parent = nullptr);

    RecoveryAnswer answer() const { return m_answer; }
    QPushButton* button(RecoveryAnswer answer) const;
    QListWidget* list() const { return m_list; }

  private:
    void answerWith(RecoveryAnswer answer);

    RecoveryAnswer m_answer = RecoveryAnswer::Later;
    QListWidget* m_list;
    QPushButton* m_recover;
    QPushButton* m_discard;
    QPushButton* m_later;
};

} // namespace tonvela
