// The Inflate decoder (RFC 1951): decodes the current Deflate entry from
// ArchiveHandle into OutputHandle through a 32 KiB window.
#pragma once

void InflateEntry();
