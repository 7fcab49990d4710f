// The configuration block behind the stub and the path macros of its texts.
#pragma once

// Reads the block at offset 51712, if there is one: sets ArchiveStart, the
// option flags, the three texts and their presence flags, and expands the
// macros of RunCommand.
void ReadConfigBlock();

// Replaces "{ext}" (the destination) and the folder macros of Sfx/layout.h in
// a NUL-terminated buffer of at least 256 bytes, in place. Other tokens are
// dropped; the result is cut at 255 characters; a "{" without a later "}"
// keeps the rest as it stands. "{temp}" makes the run's private temporary
// folder at its first use and names it in PrivateTempFolder.
void ExpandPathMacros(char* text);

// The destination that the main dialog proposes and a silent run takes: the
// folder of /D=, else the block's, else the current folder; macros expanded.
void ProposeDestination();

// Removes the run's {temp} folder, if one was made: whole, or only while it
// is empty.
void RemovePrivateTemp(bool onlyEmpty);
