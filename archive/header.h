// The local header reader. The walk visits local headers front to back and
// ends at the first position that holds none (normally the central directory).
#pragma once

// Reads the 30-byte record at the current archive position into LocalHeader.
// True for a local header; steps over spanning markers.
bool ReadLocalHeader();
