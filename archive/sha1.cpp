// SHA-1, HMAC-SHA1 and PBKDF2-HMAC-SHA1 (see sha1.h).
//
// The compression runs the message schedule in a ring of sixteen words, as
// each word depends only on the sixteen before it, and the eighty steps in
// one loop that picks the step function by the step's number: on i686 the
// four loops of twenty that spare the tests were hardly faster and twice the
// size. Where the processor has SHA instructions, they compress instead
// (CheckSha1Hardware asks for them). Whole blocks of the input are
// compressed where they lie; only a block cut by the end of a piece is
// gathered in the state.
#include "archive/sha1.h"
#include <string.h>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define SHA1_HAS_INSTRUCTIONS 1
#endif

uint8_t Sha1Hardware;

static inline uint32_t RotateLeft(uint32_t v, unsigned n) { return v << n | v >> (32 - n); }

static inline uint32_t LoadBig32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

// A byte swap and one store: the compiler does not merge the four byte
// stores of the shifted word when it compiles for size.
static inline void StoreBig32(uint8_t* p, uint32_t v) {
  v = __builtin_bswap32(v);
  memcpy(p, &v, 4);
}

static void CompressPortably(uint32_t* hash, const uint8_t* bytes, uint32_t blocks) {
  for (; blocks != 0; --blocks, bytes += Sha1BlockSize) {
    uint32_t w[16];
    for (uint32_t i = 0; i < 16; ++i) w[i] = LoadBig32(bytes + 4 * i);
    uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3], e = hash[4];
    for (uint32_t i = 0; i < 80; ++i) {
      if (i >= 16) w[i & 15] = RotateLeft(w[(i + 13) & 15] ^ w[(i + 8) & 15] ^ w[(i + 2) & 15] ^ w[i & 15], 1);
      // The step function and constant of each quarter of the steps.
      uint32_t f;
      if (i < 20)
        f = (d ^ (b & (c ^ d))) + 0x5A827999u;
      else if (i < 40)
        f = (b ^ c ^ d) + 0x6ED9EBA1u;
      else if (i < 60)
        f = ((b & c) | (d & (b | c))) + 0x8F1BBCDCu;
      else
        f = (b ^ c ^ d) + 0xCA62C1D6u;
      uint32_t t = RotateLeft(a, 5) + f + e + w[i & 15];
      e = d;
      d = c;
      c = RotateLeft(b, 30);
      b = a;
      a = t;
    }
    hash[0] += a;
    hash[1] += b;
    hash[2] += c;
    hash[3] += d;
    hash[4] += e;
  }
}

#ifdef SHA1_HAS_INSTRUCTIONS
void CheckSha1Hardware() {
  // Leaf 7 holds the SHA bit; a processor without that leaf answers for
  // another one, so the highest leaf is asked first.
  unsigned a, b, c, d, ssse3;
  __cpuid(1, a, b, ssse3, d);
  __cpuid(0, a, b, c, d);
  Sha1Hardware = 0;
  if (a < 7) return;
  __cpuid_count(7, 0, a, b, c, d);
  Sha1Hardware = (b & bit_SHA) != 0 && (ssse3 & bit_SSSE3) != 0;
}

// The processor's SHA-1 steps, four at a time: the state A to D in one
// register (A in the top lane), E beside it, and the schedule as a window
// of four groups of four words that moves on by one group after each four
// steps, the group after the window made from the four in it. A caller
// compiled by another compiler may have left the stack aligned to 4 bytes
// only, and the registers spilled there need 16: the function aligns it.
__attribute__((target("sha,ssse3"), force_align_arg_pointer)) static void CompressByInstructions(uint32_t* hash,
                                                                                                 const uint8_t* bytes,
                                                                                                 uint32_t blocks) {
  const __m128i bigEndian = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hash)), 0x1B);
  __m128i e = _mm_set_epi32(static_cast<int>(hash[4]), 0, 0, 0);
  for (; blocks != 0; --blocks, bytes += Sha1BlockSize) {
    const __m128i* in = reinterpret_cast<const __m128i*>(bytes);
    __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(in), bigEndian);
    __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), bigEndian);
    __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), bigEndian);
    __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), bigEndian);
    __m128i abcdStart = abcd, eStart = e, before;
    e = _mm_add_epi32(e, w0);
    for (uint32_t group = 0;; ++group) {
      before = abcd;
      // The step function is an immediate operand.
      switch (group / 5) {
        case 0: abcd = _mm_sha1rnds4_epu32(abcd, e, 0); break;
        case 1: abcd = _mm_sha1rnds4_epu32(abcd, e, 1); break;
        case 2: abcd = _mm_sha1rnds4_epu32(abcd, e, 2); break;
        default: abcd = _mm_sha1rnds4_epu32(abcd, e, 3); break;
      }
      if (group == 19) break;
      e = _mm_sha1nexte_epu32(before, w1);
      // The last three groups made are never used; making them costs less
      // than testing for them.
      __m128i next = _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(w0, w1), w2), w3);
      w0 = w1;
      w1 = w2;
      w2 = w3;
      w3 = next;
    }
    e = _mm_sha1nexte_epu32(before, eStart);
    abcd = _mm_add_epi32(abcd, abcdStart);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(hash), _mm_shuffle_epi32(abcd, 0x1B));
  hash[4] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(e, 3)));
}
#else
void CheckSha1Hardware() {}
#endif

// Not inlined: AddToSha1 calls it in two places, the PBKDF2 steps in one.
__attribute__((noinline)) static void CompressSha1(uint32_t* hash, const uint8_t* bytes, uint32_t blocks) {
#ifdef SHA1_HAS_INSTRUCTIONS
  if (Sha1Hardware) {
    CompressByInstructions(hash, bytes, blocks);
    return;
  }
#endif
  CompressPortably(hash, bytes, blocks);
}

void StartSha1(Sha1State* state) {
  state->hash[0] = 0x67452301u;
  state->hash[1] = 0xEFCDAB89u;
  state->hash[2] = 0x98BADCFEu;
  state->hash[3] = 0x10325476u;
  state->hash[4] = 0xC3D2E1F0u;
  state->length = 0;
}

void AddToSha1(Sha1State* state, const uint8_t* bytes, uint32_t count) {
  uint32_t held = static_cast<uint32_t>(state->length) % Sha1BlockSize;
  state->length += count;
  if (held != 0) {
    uint32_t take = Sha1BlockSize - held;
    if (take > count) take = count;
    memcpy(state->block + held, bytes, take);
    bytes += take;
    count -= take;
    if (held + take < Sha1BlockSize) return;
    CompressSha1(state->hash, state->block, 1);
  }
  CompressSha1(state->hash, bytes, count / Sha1BlockSize);
  bytes += count & ~(Sha1BlockSize - 1);
  memcpy(state->block, bytes, count % Sha1BlockSize);
}

static void StoreDigest(uint8_t* digest, const uint32_t* hash) {
  for (uint32_t i = 0; i < 5; ++i) StoreBig32(digest + 4 * i, hash[i]);
}

void FinishSha1(Sha1State* state, uint8_t* digest) {
  // The bit length, taken before the padding adds to the count.
  uint8_t tail[8];
  StoreBig32(tail, static_cast<uint32_t>(state->length >> 29));
  StoreBig32(tail + 4, static_cast<uint32_t>(state->length << 3));
  uint8_t pad = 0x80;
  do {
    AddToSha1(state, &pad, 1);
    pad = 0;
  } while (state->length % Sha1BlockSize != Sha1BlockSize - 8);
  AddToSha1(state, tail, 8);
  StoreDigest(digest, state->hash);
}

void StartHmacSha1(HmacSha1State* state, const uint8_t* key, uint32_t keyLength) {
  uint8_t pad[Sha1BlockSize];
  memset(pad, 0, sizeof pad);
  if (keyLength > Sha1BlockSize) {
    // A key longer than a block is replaced by its hash.
    StartSha1(&state->inner);
    AddToSha1(&state->inner, key, keyLength);
    FinishSha1(&state->inner, pad);
  } else {
    memcpy(pad, key, keyLength);
  }
  // The inner state takes the key padded with 0x36, the outer one (next to
  // it) with 0x5C.
  uint8_t mask = 0x36;
  for (Sha1State* side = &state->inner; side <= &state->outer; ++side) {
    for (uint32_t i = 0; i < Sha1BlockSize; ++i) pad[i] ^= mask;
    StartSha1(side);
    AddToSha1(side, pad, Sha1BlockSize);
    mask = 0x36 ^ 0x5C;
  }
}

void FinishHmacSha1(HmacSha1State* state, uint8_t* mac) {
  FinishSha1(&state->inner, mac);
  AddToSha1(&state->outer, mac, Sha1DigestSize);
  FinishSha1(&state->outer, mac);
}

void DerivePbkdf2Sha1(const uint8_t* password, uint32_t passwordLength, const uint8_t* salt, uint32_t saltLength,
                      uint32_t iterations, uint8_t* out, uint32_t outLength) {
  HmacSha1State keyed, work;
  StartHmacSha1(&keyed, password, passwordLength);
  // T = U1 ^ U2 ^ ... with U1 = HMAC(salt || index), Ui = HMAC(U(i-1)).
  // From U2 on, the inner and the outer message are both a keyed block and
  // 20 bytes, so one padded block serves both hashes of every step, its
  // first 20 bytes replaced: each step is two compressions.
  uint8_t block[Sha1BlockSize];
  memset(block, 0, sizeof block);
  block[Sha1DigestSize] = 0x80;
  StoreBig32(block + Sha1BlockSize - 4, (Sha1BlockSize + Sha1DigestSize) * 8);
  for (uint32_t index = 1; outLength != 0; ++index) {
    uint8_t t[Sha1DigestSize], number[4];
    StoreBig32(number, index);
    work = keyed;
    AddToHmacSha1(&work, salt, saltLength);
    AddToHmacSha1(&work, number, 4);
    FinishHmacSha1(&work, block);
    memcpy(t, block, Sha1DigestSize);
    for (uint32_t i = 1; i < iterations; ++i) {
      for (const Sha1State* side = &keyed.inner; side <= &keyed.outer; ++side) {
        uint32_t hash[5];
        memcpy(hash, side->hash, sizeof hash);
        CompressSha1(hash, block, 1);
        StoreDigest(block, hash);
      }
      for (uint32_t j = 0; j < Sha1DigestSize; ++j) t[j] ^= block[j];
    }
    uint32_t n = outLength < Sha1DigestSize ? outLength : Sha1DigestSize;
    memcpy(out, t, n);
    out += n;
    outLength -= n;
  }
}
