#pragma once

#include <array>

namespace tonvela {

// Staff steps of the outer staff lines (step 0 is middle C's place, larger is lower).
inline constexpr int kTopLineStep = -3;
inline constexpr int kBottomLineStep = 5;
// Ledger lines drawn for one note at most; a note further out is drawn with this many.
inline constexpr int kMaxLedgerLines = 16;

// The device width of a line of `weight` staff spaces at a zoom.
double lineWidth(double weight, float zoom);

// The steps of the ledger lines a head on `step` needs: every line position between the staff
// and the head, the head's own when it sits on a line, nearest the staff first. Returns how
// many were written.
int ledgerSteps(int step, std::array<int, kMaxLedgerLines>& out);

} // namespace tonvela
