// AES encryption (FIPS-197): the S-box and one round table built at run time
// from the field arithmetic (they are not stored in the program), the key
// expansion, and blocks encrypted either by the table method or, where the
// processor has them, by its AES instructions, four side by side.
//
// The table method keeps the state as four little-endian column words. One
// round of SubBytes, ShiftRows and MixColumns for a column is four lookups
// of RoundTable, which holds for each byte x the column (2 S[x], S[x], S[x],
// 3 S[x]); rotating a lookup by 8, 16 or 24 bits gives the byte's
// contribution from the second, third and fourth row. A single table of
// 1 KiB with rotations instead of four keeps the cache footprint small; the
// rotations cost next to nothing on x86.
#include "archive/aes.h"
#include <string.h>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <wmmintrin.h>
#define AES_HAS_INSTRUCTIONS 1
#endif

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the state is stored as little-endian words");

// Aligned for the AES instructions, which take the round keys from memory.
alignas(16) uint32_t AesRoundKeys[AesMaxKeyWords];
uint32_t AesRounds;
uint8_t AesHardware;

static uint8_t SBox[256];  // SBox[0] is 0x63 once built
static uint32_t RoundTable[256];

static inline uint32_t RotateLeft(uint32_t v, unsigned n) { return v << n | v >> (32 - n); }

static inline uint32_t LoadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
static inline uint32_t Twice(uint32_t b) { return (b << 1 ^ (b & 0x80 ? 0x1B : 0)) & 0xFF; }

// Multiplication in GF(2^8), a bit of b at a time.
static uint32_t Times(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (; b != 0; b >>= 1, a = Twice(a))
    if (b & 1) product ^= a;
  return product;
}

#ifdef AES_HAS_INSTRUCTIONS
// Every processor that runs i686 code has CPUID and its first leaf, so the
// checks of __get_cpuid are left out.
static bool ProcessorHasAes() {
  unsigned a, b, c, d;
  __cpuid(1, a, b, c, d);
  return (c & bit_AES) != 0 && (d & bit_SSE2) != 0;
}
#endif

void BuildAesTables() {
  // p runs through the powers of the generator 3 and q through those of its
  // inverse 0xF6, so that q is always the inverse of p; the S-box is the
  // affine map of the inverse.
  uint32_t p = 1, q = 1;
  do {
    p ^= Twice(p);
    q = Times(q, 0xF6);
    // The sum of q rotated by 0 to 4 bits: the rotations out of the byte
    // land in the second byte and are folded back.
    uint32_t x = q ^ q << 1 ^ q << 2 ^ q << 3 ^ q << 4;
    SBox[p] = static_cast<uint8_t>((x ^ x >> 8) ^ 0x63);
  } while (p != 1);
  SBox[0] = 0x63;
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t s = SBox[i], s2 = Twice(s);
    RoundTable[i] = s2 | s << 8 | s << 16 | (s2 ^ s) << 24;
  }
#ifdef AES_HAS_INSTRUCTIONS
  AesHardware = ProcessorHasAes();
#endif
}

static uint32_t SubWord(uint32_t w) {
  return SBox[w & 0xFF] | SBox[w >> 8 & 0xFF] << 8 | SBox[w >> 16 & 0xFF] << 16 |
         static_cast<uint32_t>(SBox[w >> 24]) << 24;
}

void SetAesKey(const uint8_t* key, uint32_t keyBytes) {
  if (SBox[0] == 0) BuildAesTables();
  uint32_t keyWords = keyBytes / 4;
  AesRounds = keyWords + 6;
  uint32_t roundConstant = 1;
  for (uint32_t i = 0; i < 4 * (AesRounds + 1); ++i) {
    uint32_t w;
    if (i < keyWords) {
      w = LoadLittle32(key + 4 * i);
    } else {
      w = AesRoundKeys[i - 1];
      if (i % keyWords == 0) {
        // RotWord moves the first byte, the low one here, to the end.
        w = SubWord(RotateLeft(w, 24)) ^ roundConstant;
        roundConstant = Twice(roundConstant);
      } else if (keyWords > 6 && i % keyWords == 4) {
        w = SubWord(w);
      }
      w ^= AesRoundKeys[i - keyWords];
    }
    AesRoundKeys[i] = w;
  }
}

#ifdef AES_HAS_INSTRUCTIONS
// Functions compiled for SSE align their stack themselves: a caller compiled
// by another compiler may have left it aligned to 4 bytes only, and a
// register spilled there needs 16.
__attribute__((target("sse2,aes"), force_align_arg_pointer)) static void EncryptByInstructions(const uint8_t* in,
                                                                                               uint8_t* out) {
  const __m128i* k = reinterpret_cast<const __m128i*>(AesRoundKeys);
  __m128i s = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), k[0]);
  for (uint32_t round = 1; round < AesRounds; ++round) s = _mm_aesenc_si128(s, k[round]);
  s = _mm_aesenclast_si128(s, k[AesRounds]);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), s);
}

// Four blocks side by side: each round of one block waits for the round
// before, so four independent ones keep the processor's AES unit busy.
__attribute__((target("sse2,aes"), force_align_arg_pointer)) static void EncryptFourByInstructions(const uint8_t* in,
                                                                                                   uint8_t* out) {
  const __m128i* k = reinterpret_cast<const __m128i*>(AesRoundKeys);
  const __m128i* from = reinterpret_cast<const __m128i*>(in);
  __m128i a = _mm_xor_si128(_mm_loadu_si128(from), k[0]), b = _mm_xor_si128(_mm_loadu_si128(from + 1), k[0]);
  __m128i c = _mm_xor_si128(_mm_loadu_si128(from + 2), k[0]), d = _mm_xor_si128(_mm_loadu_si128(from + 3), k[0]);
  for (uint32_t round = 1; round < AesRounds; ++round) {
    a = _mm_aesenc_si128(a, k[round]);
    b = _mm_aesenc_si128(b, k[round]);
    c = _mm_aesenc_si128(c, k[round]);
    d = _mm_aesenc_si128(d, k[round]);
  }
  __m128i* to = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(to, _mm_aesenclast_si128(a, k[AesRounds]));
  _mm_storeu_si128(to + 1, _mm_aesenclast_si128(b, k[AesRounds]));
  _mm_storeu_si128(to + 2, _mm_aesenclast_si128(c, k[AesRounds]));
  _mm_storeu_si128(to + 3, _mm_aesenclast_si128(d, k[AesRounds]));
}
#endif

// One column of a full round: row r of the result's column comes from
// column c + r of the state, and each byte's lookup is rotated to its row.
static inline uint32_t MixedColumn(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return RoundTable[a & 0xFF] ^ RotateLeft(RoundTable[b >> 8 & 0xFF], 8) ^ RotateLeft(RoundTable[c >> 16 & 0xFF], 16) ^
         RotateLeft(RoundTable[d >> 24], 24);
}

static void EncryptByTables(const uint8_t* in, uint8_t* out) {
  // The state's four columns twice over, so that the columns c to c + 3
  // that a result column reads lie in a row without wrapping round; each
  // round reads one copy of the state and writes the other.
  uint32_t states[2][8];
  uint32_t* from = states[0];
  const uint32_t* k = AesRoundKeys;
  for (uint32_t c = 0; c < 4; ++c) from[c] = from[c + 4] = LoadLittle32(in + 4 * c) ^ k[c];
  for (uint32_t round = 1; round <= AesRounds; ++round) {
    k += 4;
    uint32_t* to = states[round & 1];
    for (uint32_t c = 0; c < 4; ++c) {
      const uint32_t* s = from + c;
      // The last round has no MixColumns.
      to[c] = to[c + 4] =
          (round < AesRounds ? MixedColumn(s[0], s[1], s[2], s[3])
                             : SubWord((s[0] & 0xFF) | (s[1] & 0xFF00) | (s[2] & 0xFF0000) | (s[3] & 0xFF000000))) ^
          k[c];
    }
    from = to;
  }
  // The columns are little-endian words, and so are this processor's.
  memcpy(out, from, AesBlockSize);
}

void EncryptAesBlock(const uint8_t* in, uint8_t* out) {
#ifdef AES_HAS_INSTRUCTIONS
  if (AesHardware) {
    EncryptByInstructions(in, out);
    return;
  }
#endif
  EncryptByTables(in, out);
}

void EncryptFourAesBlocks(const uint8_t* in, uint8_t* out) {
#ifdef AES_HAS_INSTRUCTIONS
  if (AesHardware) {
    EncryptFourByInstructions(in, out);
    return;
  }
#endif
  for (uint32_t i = 0; i < 4 * AesBlockSize; i += AesBlockSize) EncryptByTables(in + i, out + i);
}
