// When a pass looks at the message queue and shows the entry's name: by the
// clock, not by count. Each look is a trip to the window system (under Wine
// to its server), so a pass of thousands of small files, or of one large
// one, looks at most every PumpInterval ms and shows a name at most every
// NameInterval ms. The start of a pass looks at once and shows its first
// name; a name passed over is shown within the entry's data once its
// interval has gone by, so a file that takes long is named while it is written.
#pragma once
#include <stdint.h>

enum : uint32_t {
  PumpInterval = 20,   // ms between looks at the message queue
  NameInterval = 100,  // ms between entry names shown
};

// The start of a pass: one message dispatched now, the next name shown at once.
void StartPacing();
// Dispatches one waiting message when PumpInterval has passed since the last.
void PumpWhenDue();
// Shows name in the progress dialog when NameInterval has passed since the
// last one shown; else keeps it to be shown from the entry's data.
void ShowNameWhenDue(const char* name);
// Within an entry's data: the pump and a kept name, each when due.
void PaceEntryData();
// Before a question about the entry in hand: its kept name shown now.
void ShowKeptNameNow();
