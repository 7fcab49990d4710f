// The extra fields after an entry's name, in a local header or a central
// directory record: one parser for every field the walk reads (Zip64, the
// Info-ZIP Unicode Path, WinZip AES), each field id named in zip_format.h.
#pragma once
#include <stdint.h>

// The data of the field id among the extra fields (length bytes): where it
// starts and how long it is. False when there is none, or when a field
// before it runs past the end.
bool FindExtraField(const uint8_t* extra, uint32_t length, uint32_t id, const uint8_t** data, uint32_t* size);

// The Zip64 field's 64-bit values, in the order of the fields that hold the
// escape: the uncompressed size, the compressed size, then the header's
// offset, each only where its 32-bit field is Zip64Escape. A value the field
// is too short for stays as it was. False when there is no Zip64 field.
bool ReadZip64Field(const uint8_t* extra, uint32_t length, uint64_t* uncompressed, uint64_t* compressed,
                    uint64_t* offset);
