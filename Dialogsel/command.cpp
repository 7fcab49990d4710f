// The program run after extraction (see command.h). The command's parts are
// formed here, portably; the platform opens or starts the program.
#include "Dialogsel/command.h"
#include "Dialogsel/folders.h"
#include "SFXstrings/strings.h"
#include "Sfx/state.h"
#include "archive/driver.h"
#include "support/paths.h"

bool RunCommandPart(CommandPartKind kind, char* part) {
  part[0] = 0;
  if (!AddTrailingBackslash(DestinationFolder)) return false;
  const char* bar = RunCommand;
  while (*bar != 0 && *bar != '|') ++bar;
  const char* from = kind == ProgramPart ? RunCommand : (*bar == '|' ? bar + 1 : bar);
  unsigned length = kind == ProgramPart ? static_cast<unsigned>(bar - RunCommand) : TextLength(from);
  for (unsigned i = 0; i < length; ++i) {
    if (from[i] == '>' && i + 1 < length && from[i + 1] == '<') {
      AppendText(part, DestinationFolder, TextBufferSize);
      ++i;
    } else {
      char one[2] = {from[i], 0};
      AppendText(part, one, TextBufferSize);
    }
  }
  ShortenPath(part);
  return true;
}

void RunAfterExtraction(WindowHandle owner, uint8_t checked) {
  if (checked != 1 || !HasRunCommand) return;
  char program[TextBufferSize], parameters[TextBufferSize];
  if (!RunCommandPart(ProgramPart, program) || !RunCommandPart(ParametersPart, parameters)) {
    RefuseFolder(owner);
    return;
  }
  if (!WaitThenDelete) {
    OpenWithShell(program, parameters);
    return;
  }
  char line[2 * TextBufferSize];
  CopyText(line, program, sizeof line);
  AppendText(line, " ", sizeof line);
  AppendText(line, parameters, sizeof line);
  // Started or not, the files go again; a program that cannot be started is
  // named, with the text of a file that cannot be opened.
  uint32_t code = 0;
  if (StartAndWait(line, &code)) {
    RunState = RunEnded;
    RunExitCode = code;
  } else {
    RunState = RunNotStarted;
    ShowMessage(owner, Utf8OfAnsi(program), LoadMessage(MsgCannotOpenFile).text, BoxIconError);
  }
  ExtractArchive(ProgressWindow, DeletePass);
}
