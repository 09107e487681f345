#include "shell/frame/midi_input_menu.h"

#include "editor/editing/sheet_editor.h"
#include "platform/notifier.h"
#include "shell/documents/document_window.h"
#include "shell/frame/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace tonvela {
namespace {
constexpr const char* kNoInput = "None";
} // namespace

MidiInputMenu::MidiInputMenu(MainWindow& frame, MidiInput* input)
    : QObject(&frame), m_frame(frame), m_input(input),
      m_menu(new QMenu(QStringLiteral("MIDI Input"), &frame)), m_group(new QActionGroup(this))
{
    m_menu->setObjectName(QStringLiteral("MidiInputMenu"));
    m_group->setExclusive(true);
    for (QAction* top : frame.menuBar()->actions())
        if (top->menu() && top->text() == QStringLiteral("Play")) {
            top->menu()->addSeparator();
            top->menu()->addMenu(m_menu);
        }
    connect(m_menu, &QMenu::aboutToShow, this, [this] {
        if (m_input && m_chosen < 0)
            m_input->refresh(); // a keyboard plugged in since; an open port keeps its number
        fill();
    });
    fill();
}

MidiInputMenu::~MidiInputMenu()
{
    // From here on nothing is handed over.
    if (m_input)
        m_input->close();
}

void MidiInputMenu::fill()
{
    m_menu->clear();
    for (QAction* a : m_group->actions())
        m_group->removeAction(a);
    const int count = m_input ? m_input->portCount() : 0;
    for (int port = -1; port < count; ++port) {
        const QString text =
            port < 0 ? QString::fromUtf8(kNoInput) : QString::fromStdString(m_input->portName(port));
        QAction* entry = m_menu->addAction(text);
        entry->setCheckable(true);
        entry->setChecked(port == m_chosen);
        m_group->addAction(entry);
        connect(entry, &QAction::triggered, this, [this, port] { choose(port); });
    }
}

void MidiInputMenu::choose(int port)
{
    if (!m_input || port == m_chosen)
        return;
    m_input->close();
    m_chosen = -1;
    m_entry.reset();
    if (port >= 0) {
        const bool opened = m_input->open(port, [this](const MidiInputEvent& event) {
            QMetaObject::invokeMethod(
                this, [this, event] { received(event); }, Qt::QueuedConnection);
        });
        if (opened)
            m_chosen = port;
        else
            m_frame.services().notifier.error("Could not open the MIDI input \"" + m_input->portName(port) +
                                                  "\". Another program may hold it, or it is gone.",
                                              "Error");
    }
    fill();
}

void MidiInputMenu::received(const MidiInputEvent& event)
{
    if (m_chosen < 0)
        return; // a message that was on its way when the port closed
    DocumentWindow* active = m_frame.activeDocument();
    SheetEditor* editor = active ? active->sheetEditor() : nullptr;
    if (!editor)
        return;
    m_entry.message(*editor, event.message, event.timeUs);
}

} // namespace tonvela
