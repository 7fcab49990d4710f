// The catalogue as a table of texts by identifier, for the builds that have
// no string table of the stub's: the posix platform and mksfx.exe's console.
#pragma once

// The text of catalogue entry id; null when there is none.
const char* CatalogueTextOf(unsigned id);
