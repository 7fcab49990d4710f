// The extra field parser (extra.h).
#include "archive/extra.h"
#include "archive/zip_format.h"

bool FindExtraField(const uint8_t* extra, uint32_t length, uint32_t id, const uint8_t** data, uint32_t* size) {
  uint32_t at = 0;
  while (at + ExtraFieldHeaderSize <= length) {
    uint32_t fieldId = Le16(extra + at), fieldSize = Le16(extra + at + 2);
    at += ExtraFieldHeaderSize;
    if (fieldSize > length - at) return false;
    if (fieldId == id) {
      *data = extra + at;
      *size = fieldSize;
      return true;
    }
    at += fieldSize;
  }
  return false;
}

bool ReadZip64Field(const uint8_t* extra, uint32_t length, uint64_t* uncompressed, uint64_t* compressed,
                    uint64_t* offset) {
  const uint8_t* data;
  uint32_t size;
  if (!FindExtraField(extra, length, ExtraIdZip64, &data, &size)) return false;
  uint64_t* values[3] = {uncompressed, compressed, offset};
  for (uint64_t* value : values) {
    if (value == 0 || *value != Zip64Escape) continue;
    if (size < 8) break;
    *value = Le64(data);
    data += 8;
    size -= 8;
  }
  return true;
}
