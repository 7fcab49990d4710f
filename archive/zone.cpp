// The Zone.Identifier stream of the running program, handed on to each file
// written (archive/zone.h). The stream is read and written as the file
// "<path>:Zone.Identifier", as Windows names a file's alternate stream.
//
// The stream is an INI text: "[ZoneTransfer]", "ZoneId=3", "HostUrl=...".
// Its reading fails closed, whatever its shape:
// - it is read whole, in pieces, and each line is judged where it ends
//   (ZoneScan), so a ZoneId line counts wherever it is, one that two pieces
//   share too;
// - the key is matched as an INI reader matches it: in any case, with blanks
//   before and after "=" (and the zeros of UTF-16 text and a byte order mark
//   skipped);
// - a ZoneId line without a plain number (one past 32 bits, "3 beta", none)
//   counts as the internet zone, or its own number where that is higher, and
//   of several lines the highest zone counts: a number never wraps, and no
//   line lowers what another says;
// - a stream that is there but cannot be read to its end counts as the
//   internet zone.
// What is handed on is the stream as it is when it fits the room (4 KiB) and
// its ZoneId lines are plain numbers that agree, so that the files carry what
// the program carries. Otherwise it is a short mark of our own, the section
// and the zone found ("[ZoneTransfer]\r\nZoneId=3\r\n"), which no reader can
// take for a lower zone than this one did.
#include "archive/zone.h"
#include "Sfx/state.h"
#include "platform/platform.h"
#include "support/format.h"
#include "support/paths.h"
#include <string.h>

namespace {
enum : uint32_t { InternetZone = 3, PieceSize = 512 };
const char StreamName[] = ":Zone.Identifier";
const char ZoneKey[] = "zoneid";  // lower case: matched in any case
const char ShortMark[] = "[ZoneTransfer]\r\nZoneId=";
char StreamPath[PathRoom + sizeof StreamName];

const char* StreamOf(const char* path) {
  CopyText(StreamPath, path, PathRoom);
  AppendText(StreamPath, StreamName, sizeof StreamPath);
  return StreamPath;
}

// The scan of the stream, a line at a time; starts zeroed. A line's first
// LineRoom bytes are kept (the zeros of UTF-16 left out): a ZoneId line
// needs fewer, and one that runs on past them is no plain one.
enum : uint32_t { LineRoom = 40 };
struct ZoneScan {
  uint32_t lineLength;     // bytes of the current line so far
  char line[LineRoom];     // its first LineRoom bytes
  uint8_t found;           // a ZoneId line was met
  uint8_t plain;           // every ZoneId line met held a plain number, the same in all
  uint32_t zone;           // the highest zone of the lines met
};

void CountZone(ZoneScan& s, uint32_t zone, bool plain) {
  s.plain = plain && (!s.found || (s.plain && zone == s.zone));
  if (!s.found || zone > s.zone) s.zone = zone;
  s.found = 1;
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
// Blanks, and before the key the bytes of a UTF-8 or UTF-16 byte order mark.
const char* SkipBlanks(const char* p, const char* end, bool orderMarks) {
  while (p < end && (IsBlank(*p) || (orderMarks && static_cast<uint8_t>(*p) >= 0xBB))) ++p;
  return p;
}

// The line kept, when it is a ZoneId line: its zone counted. A value that is
// no plain number counts as the internet zone, or as its leading number where
// that is higher.
void EndLine(ZoneScan& s) {
  const char* p = s.line;
  const char* end = p + (s.lineLength < LineRoom ? s.lineLength : LineRoom);
  s.lineLength = 0;
  p = SkipBlanks(p, end, true);
  for (const char* k = ZoneKey; *k != 0; ++k, ++p)
    if (p == end || (*p | 0x20) != *k) return;
  p = SkipBlanks(p, end, false);
  if (p == end || *p++ != '=') return;
  p = SkipBlanks(p, end, false);
  const char* digits = p;
  uint32_t number = 0;
  bool tooLarge = false;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    uint32_t digit = static_cast<uint32_t>(*p - '0');
    tooLarge |= number > (0xFFFFFFFFu - digit) / 10;
    number = number * 10 + digit;
  }
  bool plain = p > digits && !tooLarge && SkipBlanks(p, end, false) == end && end < s.line + LineRoom;
  CountZone(s, plain || (!tooLarge && number > InternetZone) ? number : uint32_t{InternetZone}, plain);
}

void ScanByte(ZoneScan& s, char c) {
  if (c == '\r' || c == '\n') return EndLine(s);
  if (c == 0) return;
  if (s.lineLength < LineRoom) s.line[s.lineLength] = c;
  ++s.lineLength;
}

// Answers of ScanStream beside a length.
enum : uint32_t { NoStream = 0xFFFFFFFFu, Unreadable = 0xFFFFFFFEu };

// Reads the stream at path whole through the scan, its first ZoneMarkRoom
// bytes into ZoneMark, and returns its length: NoStream when there is none,
// Unreadable when it is there but could not be read to its end.
uint32_t ScanStream(const char* path, ZoneScan& scan) {
  FileHandle stream = OpenForReading(path);
  if (stream == NoFile) return FileAttributes(path) == NoAttributes ? NoStream : Unreadable;
  // Its length, against which a read that failed (and returned nothing, as
  // at the end) shows.
  bool failed = false;
  uint32_t size = SetFilePosition(stream, 0, SeekFromEnd, &failed);
  if (!failed) SetFilePosition(stream, 0, SeekFromBegin, &failed);
  uint32_t total = 0;
  uint8_t piece[PieceSize];
  while (!failed && total < size) {
    bool kept = total < ZoneMarkRoom;
    uint8_t* into = kept ? reinterpret_cast<uint8_t*>(ZoneMark) + total : piece;
    uint32_t n = ReadFromFile(stream, into, kept ? ZoneMarkRoom - total : PieceSize);
    if (n == 0) break;
    for (uint32_t i = 0; i < n; ++i) ScanByte(scan, static_cast<char>(into[i]));
    total += n;
  }
  CloseFile(stream);
  EndLine(scan);
  return failed || total != size || total >= Unreadable ? Unreadable : total;
}
}  // namespace

void TakeZoneMark() {
  ZoneMarkLength = 0;
  ZoneScan scan = {};
  uint32_t length = ScanStream(StreamOf(OwnPath), scan);
  if (length == NoStream) return;
  if (length == Unreadable) CountZone(scan, InternetZone, false);
  if (!scan.found || scan.zone < InternetZone) return;
  if (scan.plain && length <= ZoneMarkRoom) {
    ZoneMarkLength = length;
    return;
  }
  memcpy(ZoneMark, ShortMark, sizeof ShortMark - 1);
  FormatUnsigned(scan.zone, ZoneMark + sizeof ShortMark - 1);
  AppendText(ZoneMark, "\r\n", ZoneMarkRoom);
  ZoneMarkLength = TextLength(ZoneMark);
}

void MarkLikeOwnFile(const char* path) {
  if (ZoneMarkLength == 0) return;
  FileHandle stream = CreateForWriting(StreamOf(path));
  if (stream == NoFile) return;
  WriteToFile(stream, ZoneMark, ZoneMarkLength);
  CloseFile(stream);
}
