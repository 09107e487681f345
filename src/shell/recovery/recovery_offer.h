#pragma once

#include "recovery/recovery_store.h"

#include <functional>
#include <vector>

class QWidget;

namespace tonvela {

class Autosave;
class MainWindow;

// The answers of the recovery question.
enum class RecoveryAnswer { Recover, Discard, Later };

using AskRecovery = std::function<RecoveryAnswer(const std::vector<RecoveryFile>&)>;

// Lets the autosave follow the frame's documents: a save to a document's own file and a close
// remove its recovery file.
void followDocuments(MainWindow& frame, Autosave& autosave);

// The title a recovered document takes when it may not go on in its original file: "song
// (recovered)" for song.shd. An untitled document keeps its title.
std::string recoveredTitle(const RecoveryEntry& entry);

// At start-up: when the recovery folder holds files of an instance that is gone, asks what to
// do with them.
// - Recover opens every readable document as a new window, marked modified. It keeps its
//   original path (Save writes there) only when the file there is as the document last saw it,
//   or gone; when it changed since, is no document of that kind, or is not known, the document
//   opens untitled as "song (recovered)" and Save asks for a place. An untitled document stays
//   untitled. Its recovery file stays the document's recovery file until it is saved or closed.
// - Discard removes the readable files.
// - Later keeps every file for the next start.
// The temporary files that writes of the instance that is gone left beside the original files
// are removed first, whatever the answer.
// Files that cannot be read are never deleted: on Recover and Discard they are moved into the
// "damaged" subfolder and an error names them, where they are and why they could not be read.
// Returns the number of documents opened.
int offerRecovery(MainWindow& frame, Autosave& autosave, const AskRecovery& ask);

// At start-up, once the documents are open: removes the temporary files of atomic writes that
// were killed halfway (by a crash or kill -9) from the recovery folder and from the folders of
// the open documents. Those of writes still running in any instance stay.
void removeLeftoverWrites(const MainWindow& frame, const Autosave& autosave);

// The question as a dialog: the documents found, with "Recover", "Discard" and "Later";
// closing the dialog answers Later.
RecoveryAnswer askRecoveryDialog(QWidget* parent, const std::vector<RecoveryFile>& files);

} // namespace tonvela
