// What a run reports besides its windows: the log of /LOG=, and the answers
// that message boxes get in silent mode.
#pragma once

// A line of the log: the texts one after the other, and CRLF. Nothing
// without a log.
void LogLine(const char* first, const char* second);

// Every message box goes through this before it is shown: it is logged as
// "caption: text". True in silent mode, where nothing is shown and *answer
// is the box's documented answer: Cancel where there is one (a disk that is
// asked for is missing), else OK.
bool MessageHeld(const char* text, const char* caption, unsigned style, int* answer);
