#pragma once

#include "score/sheet_document.h"

#include <functional>

namespace tonvela {

// The panels' own observer of the active sheet: a track count, a time signature, a staff kind,
// the selected track or a whole file read into the sheet reach what the panels show from the
// document itself, whoever changed it. Note edits are left to the sheet window, which tells the
// panels once they are laid out (the status and the selection count read the layout).
// User-interface thread only.
class PanelSheetFollower : public SheetObserver {
  public:
    explicit PanelSheetFollower(std::function<void()> changed) : m_changed(std::move(changed)) {}
    ~PanelSheetFollower() override { follow(nullptr); }
    PanelSheetFollower(const PanelSheetFollower&) = delete;
    PanelSheetFollower& operator=(const PanelSheetFollower&) = delete;

    // Follows SHEET from now on (nullptr: none). The sheet must outlive the following: whoever
    // closes its window calls follow(nullptr) first.
    void follow(SheetDocument* sheet)
    {
        if (sheet == m_sheet)
            return;
        if (m_sheet)
            m_sheet->removeObserver(this);
        m_sheet = sheet;
        if (m_sheet)
            m_sheet->addObserver(this);
    }
    const SheetDocument* followed() const { return m_sheet; }

    void sheetChanged(const SheetChangeEvent& change) override
    {
        if (change.kind != SheetChange::Notes && m_changed)
            m_changed();
    }

  private:
    std::function<void()> m_changed;
    SheetDocument* m_sheet = nullptr;
};

} // namespace tonvela
