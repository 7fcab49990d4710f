// The program run after extraction (see command.h). The command's parts are
// formed here, portably; the platform opens or starts the program.
#include "Dialogsel/command.h"
#include "Dialogsel/folders.h"
#include "SFXstrings/strings.h"
#include "Sfx/config.h"
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
      // Before a quote the folder's closing "\" is doubled, so that the
      // program's own reading of its command line ("C:\dest dir\\")
      // gives the folder with its "\" and the quote its end.
      if (i + 2 < length && from[i + 2] == '"') AppendText(part, "\\", TextBufferSize);
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
  // The parameters and those after "--" (255 characters each at most) fit.
  char program[TextBufferSize], parameters[2 * TextBufferSize];
  if (!RunCommandPart(ProgramPart, program) || !RunCommandPart(ParametersPart, parameters)) {
    RefuseFolder(owner);
    return;
  }
  // A block whose run text is cut to nothing names no program to start.
  if (program[0] == 0) return;
  // What follows "--" on the command line is the program's too.
  if (RunArguments[0] != 0) {
    if (parameters[0] != 0) AppendText(parameters, " ", sizeof parameters);
    AppendText(parameters, RunArguments, sizeof parameters);
  }
  // The program runs in the destination. One that cannot be opened or
  // started is named, with the text of a file that cannot be opened (exit
  // 4); with WaitThenDelete the files go again, started or not.
  uint32_t code = 0;
  bool started = WaitThenDelete ? StartAndWait(owner, program, parameters, DestinationFolder, &code)
                                : OpenWithShell(program, parameters, DestinationFolder);
  if (started && WaitThenDelete) {
    RunState = RunEnded;
    RunExitCode = code;
  }
  if (!started) {
    RunState = RunNotStarted;
    ShowMessage(owner, Utf8OfAnsi(program), LoadMessage(MsgCannotOpenFile).text, BoxIconError);
  }
  if (WaitThenDelete) {
    ExtractArchive(ProgressWindow, DeletePass);
    // The run's own {temp} folder goes whole, with what the program left in it.
    RemovePrivateTemp(false);
  }
}
