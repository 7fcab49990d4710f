// The scripted user interface of the host tests: it stands in for the dialogs
// behind archive/prompts.h and Dialog/dialog.h, answers from queues and
// records what the program asked for.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace scripted {
struct OverwriteReply {
  bool yes;         // Yes or No
  bool applyToAll;  // box 401
};

extern std::deque<OverwriteReply> OverwriteReplies;  // empty: No
extern std::deque<std::string> PasswordReplies;      // empty: ""
extern std::deque<bool> DiskReplies;                 // true OK, false Cancel; empty: Cancel
extern std::vector<std::string> Asked;   // "overwrite:<ConflictName>", "password", "disk:<text>"
extern std::vector<std::string> EntryNames;  // texts shown in control 901
extern int Pumps, Paints, Focuses;
extern std::vector<std::string> MainDialogTemplates;  // names RunMainDialog was given
extern std::function<void()> MainDialogBody;          // run inside RunMainDialog
extern std::function<void()> OnPump;                  // run inside PumpOneMessage
extern std::function<void()> OnDisk;                  // run inside AskForDisk, before it answers

void Reset();
}  // namespace scripted
