// The decoder's input and output: the entry's compressed bytes come in
// chunks of up to 32 KiB from ArchiveHandle, decrypted as a whole chunk right
// after the read, and never more than the entry has left, so the keys advance
// over exactly the entry's bytes. A volume that ends inside the entry is
// followed onto the next one. Output leaves the window in 32 KiB pieces and
// one shorter last piece, each counted for progress and run through the CRC.
#include "SFXinflt/decoder.h"
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/stored.h"
#include "archive/volume.h"

enum : uint16_t { FlagEncrypted = 0x0001 };

uint8_t* InputBuffer;
uint16_t InputPos;
uint32_t InputCount;
BitWord BitBuffer;
uint16_t BitCount;
uint8_t* SlideWindow;
uint16_t SlidePos;

int ReadInputByte() {
  if (CancelRequested) {
    EntryRemaining = 0;
    InputCount = 0;
    return -1;
  }
  if (EntryRemaining <= 0) {
    InputCount = 0;
    return -1;
  }
  if (InputPos >= InputCount) {
    uint32_t want = EntryRemaining < static_cast<int32_t>(InputChunk) ? static_cast<uint32_t>(EntryRemaining)
                                                                       : InputChunk;
    InputCount = ReadFromFile(ArchiveHandle, InputBuffer, want);
    if (LocalHeader.flags & FlagEncrypted) DecryptBuffer(InputBuffer, InputCount);
    InputPos = 0;
  }
  if (InputCount == 0) {
    InputPos = 0;
    return -1;
  }
  --EntryRemaining;
  return InputBuffer[InputPos++];
}

BitCursor RefillSlowly(BitCursor c, unsigned n) {
  GiveBackInput(c);
  while (c.count < n) {
    int byte = ReadInputByte();
    if (byte < 0) {
      if (CancelRequested || EntryRemaining <= 0 || !VolumeSwitchAllowed) break;
      if (!ChangeVolume(CurrentVolume + 1)) {
        CancelRequested = 1;
        break;
      }
      byte = ReadInputByte();  // the first byte of the new volume
      if (byte < 0) {
        CancelRequested = 1;
        break;
      }
    }
    c.bits |= static_cast<BitWord>(byte) << c.count;
    c.count += 8;
  }
  c.next = InputBuffer + InputPos;
  c.end = InputBuffer + InputCount;
  return c;
}

void FlushWindow(uint16_t count) {
  WriteToFile(OutputHandle, SlideWindow, count);
  AddProgress(count);
  CrcOverBuffer(SlideWindow, count, &CrcRegister);
}
