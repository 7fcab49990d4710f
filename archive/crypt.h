// The traditional PKWARE encryption: three keys, a keystream byte per data
// byte, and the check of the 12-byte encryption header.
#pragma once
#include <stdint.h>
#include "archive/crc32.h"

extern uint32_t Key0, Key1, Key2;

void InitKeys(const char* password);
void UpdateKeys(uint8_t plain);
uint8_t DecryptByte();
// Decrypts count bytes in place, advancing the keys over each plain byte.
void DecryptBuffer(uint8_t* bytes, uint32_t count);

// Sets the keys from password and runs them over the 12-byte encryption
// header as read (left unchanged). True when the password passes the
// header's one-byte check; the keys are then ready for the entry's data.
// An empty password fails without touching the keys.
bool CheckPassword(const uint8_t* header, uint16_t flags, const char* password, uint32_t dosDateTime,
                   uint32_t crc);
