// The two ends of an entry's data, shared by the stored copy and the Inflate
// decoder: compressed input read from ArchiveHandle in chunks, decrypted as a
// whole chunk right after the read and never beyond the entry's compressed
// size (so the keys advance over exactly the entry's bytes), followed onto
// the next volume when one ends inside the entry of a spanned archive; and
// output written to OutputHandle, counted for progress and run through the CRC.
//
// The ends are where an entry's data is judged: a write that the disk does
// not take, data beyond the uncompressed size the header declares (a damaged
// stream, or a bomb; for a stream of unknown size, beyond what its input can
// decode to), an archive that ends inside the data, or a volume that
// cannot be had stop the entry and say why in EntryStop. Before each read one
// waiting message is dispatched when due, so that Cancel answers and the
// windows stay alive through an entry of any size, on a medium of any speed
// (a decoder's window of output may need many reads); a cancel ends the entry
// within the chunk that read brings.
#include "archive/entry_data.h"
#include "SFXinflt/entry_ends.h"
#include "archive/entry.h"
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/header.h"
#include "archive/zip_format.h"
#include "archive/pacing.h"
#include "archive/winzip_aes.h"
#include "archive/progress.h"
#include "archive/prompts.h"

EntryStopKind EntryStop;
uint64_t EntryTaken;
EntryCipherKind EntryCipher;

static uint32_t ReadDecrypted(uint8_t* buffer, uint32_t room) {
  uint32_t want = EntryRemaining < room ? static_cast<uint32_t>(EntryRemaining) : room;
  uint32_t got = ReadFromFile(ArchiveHandle, buffer, want);
  EntryRemaining -= got;
  EntryTaken += got;
  if (EntryCipher == CipherTraditional) DecryptBuffer(buffer, got);
  else if (EntryCipher == CipherAes) AesDecryptBuffer(buffer, got);
  return got;
}

uint32_t TakeEntryInput(uint8_t* buffer, uint32_t room) {
  if (CancelRequested || EntryStop != EntryGoesOn || EntryRemaining == 0) return 0;
  PaceEntryData();
  uint32_t got = ReadDecrypted(buffer, room);
  if (got > 0) return got;
  // The file has ended inside the entry. Only an archive that opens with the
  // spanning marker goes on in a next volume; any other is cut short, and a
  // file that happens to lie beside it under a volume's name is not read.
  if (!ArchiveSpanned) {
    EntryStop = EntryInputEnded;
    return 0;
  }
  if (!GoOnInNextVolume()) {
    EntryStop = EntryVolumeLost;
    return 0;
  }
  got = ReadDecrypted(buffer, room);
  if (got == 0) EntryStop = EntryInputEnded;  // an empty volume
  return got;
}

bool GiveEntryOutput(const uint8_t* bytes, uint32_t count) {
  if (EntryStop != EntryGoesOn) return false;
  // The declared size bounds the output; where only the descriptor after
  // the data will tell it, the most a Deflate stream can give for the
  // bytes read so far does.
  uint64_t ceiling = CurrentEntry.endKnown ? CurrentEntry.uncompressedSize
                                           : EntryTaken * MaxDeflateRatio + MaxDeflateRatio;
  uint64_t room = ceiling - static_cast<uint64_t>(EntryDone);
  if (count > room) {
    count = static_cast<uint32_t>(room);
    EntryStop = EntryTooLong;
  }
  uint32_t written = WriteToFile(OutputHandle, bytes, count);
  AddProgress(static_cast<int32_t>(written));
  CrcOverBuffer(bytes, static_cast<int32_t>(written), &CrcRegister);
  if (written < count) EntryStop = EntryOutputRefused;
  return EntryStop == EntryGoesOn && !CancelRequested;
}
