// The catalogue as a table (catalogue_table.h), made from the same
// catalogue.def that the stub's string table is made of.
#include "SFXstrings/catalogue_table.h"

const char* CatalogueTextOf(unsigned id) {
  static const struct {
    unsigned id;
    const char* text;
  } table[] = {
#define MESSAGE(id, name, text) {id, text},
#include "SFXstrings/catalogue.def"
#undef MESSAGE
  };
  for (const auto& entry : table)
    if (entry.id == id) return entry.text;
  return 0;
}
