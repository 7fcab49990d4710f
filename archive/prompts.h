// What the driver asks of the user interface. The stub links the dialogs'
// implementation (Dialog/prompts.cpp); host tests link a scripted one that
// answers from a queue and records what was asked.
#pragma once

void PumpOneMessage();       // dispatch at most one waiting message
void FocusProgressWindow();  // focus ProgressWindow, invalidate it with erasing
// Paints both bars at once on a surface of ProgressWindow, when either has
// moved since it was last painted.
void PaintProgressNow();
void ShowEntryName(const char* name);  // text of control 901
void AskOverwrite();         // FILEEXIST, modal, owner ProgressWindow
void AskPassword();          // PASSWD, modal, owner ProgressWindow
// The request to insert a disk (text, caption "Multi Volume", OK and Cancel,
// owner ProgressWindow); true for OK.
bool AskForDisk(const char* text);
