// CRC-32 (reflected polynomial 0xEDB88320) and the traditional PKWARE
// encryption: three keys, a keystream byte per data byte, and the check of
// the 12-byte encryption header.
#pragma once
#include <stdint.h>

extern uint32_t Key0, Key1, Key2;

void BuildCrcTable();   // fills CrcTable by the bitwise rule
uint32_t UpdateCrc(uint8_t byte, uint32_t reg);
// Runs the CRC over count bytes into *reg; nothing for a count of 0 or less.
void CrcOverBuffer(const uint8_t* bytes, int32_t count, uint32_t* reg);

void InitKeys(const char* password);
void UpdateKeys(uint8_t plain);
uint8_t DecryptByte();
// Decrypts count bytes in place, advancing the keys over each plain byte.
void DecryptBuffer(uint8_t* bytes, uint32_t count);

// area: 24 bytes, 12..23 the header as read; 0..11 receive the decrypted one.
bool CheckPassword(uint8_t* area, int len, uint16_t flags, const char* password,
                   uint32_t dosDateTime, uint32_t crc);
