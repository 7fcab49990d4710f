// The message catalogue's interface: identifiers by name, and LoadMessage,
// which fetches a text afresh at every use. Callers concatenate texts, names
// and numbers themselves; the catalogue has no formatting of its own.
#pragma once

enum MessageId : unsigned {
#define MESSAGE(id, name, text) name = id,
#include "SFXstrings/catalogue.def"
#undef MESSAGE
};

enum { MessageRoom = 1024 };  // a loaded text has at most 1,023 characters

// A loaded text. Returned by value so that a call can stand inside the
// argument list of another: ShowMessage(o, LoadMessage(a).text, ...).
struct Message { char text[MessageRoom]; };

// The text of entry id; the empty text for an identifier without an entry.
Message LoadMessage(unsigned id);
