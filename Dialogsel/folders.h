// The portable half of choosing the destination: taking the folder that the
// browser returned, and creating a new folder below it. The folder browser
// and the New Folder dialog (browse.cpp, newfolder.cpp) call these; host
// tests call them directly.
#pragma once
#include "platform/platform.h"

// "Error in directory .." with the caption "Error.." and the error icon,
// owned by owner: a folder that cannot be made, taken or run in.
void RefuseFolder(WindowHandle owner);

// Creates parent + name with every missing folder on the way, after dropping
// the name's leading "\"; then makes name, relative to the current folder,
// the current folder. False for a name with ":", a name of "\" only, or a
// folder that does not exist afterwards.
bool CreateSubfolder(const char* parent, const char* name);

// The browser's choice: copied into destination (TextBufferSize bytes) and
// made the current folder. With keepLastPart, and a destination that the
// block or /D= proposed, the proposal's last part follows a folder picked
// that has another name (C:\Program Files and the proposal ...\MyTool give
// C:\Program Files\MyTool). A path too long for the buffer is refused with
// "Error in directory .." (owned by owner), leaving destination alone.
bool TakeChosenFolder(WindowHandle owner, const char* path, char* destination, bool keepLastPart);

// The folder the browser opens at (start, TextBufferSize bytes): the
// destination, or the folder it would be made in when it does not exist.
void BrowserStart(const char* destination, char* start);

// The New Folder dialog's OK with the typed name. DestinationFolder is the
// parent; it gets its trailing "\" when the dialog opens. Returns true when
// the dialog may end: for an empty name (nothing created), or when the
// folder was created and its name appended to DestinationFolder. Returns
// false, after "Error in directory .." owned by owner, when the folder cannot
// be created or the destination would not fit its buffer; nothing is created
// then and DestinationFolder stays the parent.
bool AcceptNewFolder(WindowHandle owner, const char* name);
