#pragma once

#include "editor/print_paging.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

class QWidget;
class QPageLayout;

namespace tonvela {

struct FileChoice {
    std::string path;
    int filterIndex = 0; // the chosen entry of the filter list, from 0
};

// The file and print dialogs of the commands. The desktop program shows Qt's dialogs; tests
// answer with prepared paths and a PDF printer.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // `filters` are entries such as "Sheet Document Files(*.shd)"; `defaultSuffix` has no dot.
    // No value when the user cancelled.
    virtual std::optional<FileChoice> openFile(const QString& caption, const QStringList& filters,
                                               const QString& defaultSuffix) = 0;
    // Saving over an existing file asks first; `suggestedName` fills the name field.
    virtual std::optional<FileChoice> saveFile(const QString& caption, const QStringList& filters,
                                               const QString& defaultSuffix,
                                               const QString& suggestedName) = 0;
    // The print dialog, opened on `pageLayout` (the document's page setup) when one is given;
    // null when the user cancelled.
    virtual std::unique_ptr<Printer> choosePrinter(const std::string& documentName,
                                                   const QPageLayout* pageLayout) = 0;
};

// Qt's file dialogs and the print dialog. Each dialog remembers the filter chosen last and
// the folder last used. While a filter with a single extension is chosen, a name typed
// without an extension gets that filter's extension.
std::unique_ptr<FileDialogs> createQtFileDialogs(QWidget* parent);

// The extension of a filter entry such as "MIDI file(*.mid)": "mid"; empty for "*.*".
QString filterSuffix(const QString& filter);

} // namespace tonvela
