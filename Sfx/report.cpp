// The log of /LOG= (UTF-8, a line per entry and per message, the exit code
// last) and the silent answers of message boxes.
#include "Sfx/report.h"
#include "Sfx/state.h"
#include "support/paths.h"

static void LogText(const char* text) {
  if (LogHandle != 0) WriteToFile(LogHandle, text, TextLength(text));
}

void LogLine(const char* first, const char* second) {
  LogText(first);
  LogText(second);
  LogText("\r\n");
}

bool MessageHeld(const char* text, const char* caption, unsigned style, int* answer) {
  LogText(caption);
  LogLine(": ", text);
  *answer = (style & BoxOkCancel) + AnswerOk;  // AnswerCancel with a Cancel button
  return Silent != 0;
}
