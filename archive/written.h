// The record of what the extraction pass wrote, kept for the rest of the run:
// for each entry in walk order the identity of the file it wrote (the
// deletion pass deletes only those files, and each only while the same file
// stands under its name), and the paths written, folded as Windows compares names, so that a
// second entry of one name is never a silent replacement of the first. A hash
// finds a path; only the stored path decides.
#pragma once
#include <stdint.h>

// Empties both (a new extraction pass).
void ClearWrittenRecord();

// identity: FileIdentity of the file written, 0 when none was had.
// WrittenIdentity is it with its lowest bit set (1: written, identity
// unknown), 0 for an entry that wrote no file.
void MarkWritten(uint32_t entry, uint32_t identity);
uint32_t WrittenIdentity(uint32_t entry);
bool WasWritten(uint32_t entry);

void RememberWrittenPath(const char* path);
// The pass wrote a file that path names on Windows: the same path but for
// case (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters), "/"
// for "\", and runs of separators.
bool WrittenThisRun(const char* path);

// The folded form of path (at most as long as path) into folded: the
// separators one "\" each, letters of the ranges above in upper case.
void FoldPath(const char* path, char* folded);
