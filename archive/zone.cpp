// The Zone.Identifier stream of the running program, handed on to each file
// written (archive/zone.h). The stream is read and written as the file
// "<path>:Zone.Identifier", as Windows names a file's alternate stream.
#include "archive/zone.h"
#include "Sfx/state.h"
#include "platform/platform.h"
#include "support/paths.h"
#include <string.h>

namespace {
enum : uint32_t { InternetZone = 3 };
const char StreamName[] = ":Zone.Identifier";
char StreamPath[PathRoom + sizeof StreamName];

const char* StreamOf(const char* path) {
  CopyText(StreamPath, path, PathRoom);
  AppendText(StreamPath, StreamName, sizeof StreamPath);
  return StreamPath;
}
}  // namespace

void TakeZoneMark() {
  ZoneMarkLength = 0;
  FileHandle stream = OpenForReading(StreamOf(OwnPath));
  if (stream == NoFile) return;
  uint32_t n = ReadFromFile(stream, ZoneMark, ZoneMarkRoom - 1);
  CloseFile(stream);
  ZoneMark[n] = 0;
  char* at = strstr(ZoneMark, "ZoneId=");
  if (at == 0) return;
  uint32_t zone = 0;
  for (at += 7; *at >= '0' && *at <= '9'; ++at) zone = zone * 10 + static_cast<uint32_t>(*at - '0');
  if (zone < InternetZone) return;
  // A mark longer than the room (its addresses) is handed on up to its zone.
  if (n == ZoneMarkRoom - 1) {
    n = static_cast<uint32_t>(at - ZoneMark);
    memcpy(at, "\r\n", 2);
    n += 2;
  }
  ZoneMarkLength = n;
}

void MarkLikeOwnFile(const char* path) {
  if (ZoneMarkLength == 0) return;
  FileHandle stream = CreateForWriting(StreamOf(path));
  if (stream == NoFile) return;
  WriteToFile(stream, ZoneMark, ZoneMarkLength);
  CloseFile(stream);
}
