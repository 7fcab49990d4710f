// The two ends of an entry's data, shared by the stored copy and the Inflate
// decoder: compressed input read from ArchiveHandle in chunks, decrypted as a
// whole chunk right after the read and never beyond the entry's compressed
// size (so the keys advance over exactly the entry's bytes), followed onto
// the next volume when one ends inside the entry; and output written to
// OutputHandle, counted for progress and run through the CRC.
//
// The output end is where an entry's data is judged: a write that the disk
// does not take, or data beyond the uncompressed size the header declares (a
// damaged stream, or a bomb), stops the entry with EntryFault set. After each
// chunk one waiting message is dispatched, so that Cancel answers and the
// windows stay alive through an entry of any size.
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/header.h"
#include "archive/prompts.h"
#include "archive/stored.h"
#include "archive/volume.h"

static uint32_t ReadDecrypted(uint8_t* buffer, uint32_t room) {
  uint32_t want = EntryRemaining < room ? EntryRemaining : room;
  uint32_t got = ReadFromFile(ArchiveHandle, buffer, want);
  EntryRemaining -= got;
  if (LocalHeader.flags & FlagEncrypted) DecryptBuffer(buffer, got);
  return got;
}

uint32_t TakeEntryInput(uint8_t* buffer, uint32_t room) {
  if (CancelRequested || EntryFault != NoEntryFault || EntryRemaining == 0) return 0;
  uint32_t got = ReadDecrypted(buffer, room);
  if (got > 0 || !VolumeSwitchAllowed || VolumeChangeFailed) return got;
  // The volume has ended inside the entry: the rest is on the next one.
  if (!ChangeVolume(CurrentVolume + 1)) {
    VolumeChangeFailed = 1;
    CancelRequested = 1;
    return 0;
  }
  got = ReadDecrypted(buffer, room);
  if (got == 0) CancelRequested = 1;
  return got;
}

void GiveEntryOutput(const uint8_t* bytes, uint32_t count) {
  if (EntryFault != NoEntryFault) return;
  uint64_t room = static_cast<uint64_t>(LocalHeader.uncompressedSize) - static_cast<uint64_t>(EntryDone);
  if (count > room) {
    count = static_cast<uint32_t>(room);
    EntryFault = EntrySizeFault;
  }
  uint32_t written = WriteToFile(OutputHandle, bytes, count);
  AddProgress(static_cast<int32_t>(written));
  CrcOverBuffer(bytes, static_cast<int32_t>(written), &CrcRegister);
  if (written < count) EntryFault = EntryWriteFault;
  // Within a large entry; before its first chunk the driver has just pumped.
  if (static_cast<uint64_t>(EntryDone) > written) PumpOneMessage();
}
