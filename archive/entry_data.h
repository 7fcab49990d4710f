// The state of the entry whose data is being read and written, shared by the
// two ends of the data (entry_data.cpp) and the walk that judges the entry.
#pragma once
#include <stdint.h>

// Why an entry's data ended before its compressed size was used up, as the
// ends of the data found it; EntryGoesOn while nothing stopped it.
enum EntryStopKind : uint8_t {
  EntryGoesOn = 0,
  EntryOutputRefused,  // the output file took fewer bytes than given
  EntryTooLong,        // the data ran past the size its header declares
  EntryInputEnded,     // the archive (or an empty volume) ended inside the data
  EntryVolumeLost,     // the next volume could not be had
};

extern EntryStopKind EntryStop;

// The compressed bytes read for the entry in hand so far.
extern uint64_t EntryTaken;

// How the entry's data is encrypted: the reader decrypts each chunk with it.
enum EntryCipherKind : uint8_t {
  CipherNone = 0,
  CipherTraditional,  // the PKWARE keys (archive/crypt.h)
  CipherAes,          // WinZip AES (archive/winzip_aes.h)
};
extern EntryCipherKind EntryCipher;
