// The mark of the web. A program downloaded from the internet carries a
// Zone.Identifier stream, which makes Windows warn before it runs; the files
// the stub writes get the same stream, so that the warning is not lost on the
// way through the archive. Where the file system has no streams, nothing is
// marked and nothing fails.
#pragma once

// Reads the running program's own mark (OwnPath) and keeps it when its zone
// is 3 (the internet) or higher (untrusted).
void TakeZoneMark();

// Gives the file at path the mark kept, if there is one.
void MarkLikeOwnFile(const char* path);
