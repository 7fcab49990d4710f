// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320): the table that
// start-up builds by the bitwise rule (it is not stored in the program), the
// step of one byte, and the run over whole buffers.
//
// The build compiles this file for speed even where the rest of the program
// is compiled for size.
#include "archive/crc32.h"
#include "Sfx/state.h"
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>
#define CRC_CAN_FOLD 1
#endif

// Buffers run through the CRC by table methods with the same result as
// UpdateCrc byte by byte. Slice k holds the register change of a byte
// followed by k zero bytes, so one step of sixteen independent lookups does
// sixteen steps of UpdateCrc ("slicing by sixteen"). Long buffers go faster
// still in lanes of 2 KiB run side by side, each from a zero register:
// the register is linear in its start value and the bytes, so the lanes join
// by moving each partial register over the 2 KiB of the lane after it, which
// the four shift slices do in four lookups. All twenty slices (20 KiB) are
// allocated and derived from the bitwise rule once, with the first CrcTable,
// and kept for the rest of the process; without them the CRC runs a byte at
// a time.
//
// Where the processor multiplies without carries (PCLMULQDQ, with SSE2;
// asked of the processor once, with the slices), whole 64-byte blocks go
// four 128-bit lanes at a time instead: read as polynomials, a lane 512 bits
// before the next block keeps its remainder modulo the CRC polynomial when
// its two 64-bit halves are multiplied by x^(512+32) and x^(512-32) modulo
// the polynomial (bit-reflected, and one bit up, as the reflected product
// comes out one bit low) and added to the block; the four lanes then fold
// into one the same way over 128 bits, and the last 16 bytes so left give
// the register by one slicing step from a zero register.
enum { CrcSliceCount = 16, CrcShiftSlices = 16, CrcAllSlices = 20, CrcLaneBytes = 2048 };
// Eight lanes where registers are plenty, four on i686.
#if UINTPTR_MAX > 0xFFFFFFFFu
enum { CrcLanes = 8 };
#else
enum { CrcLanes = 4 };
#endif
typedef uint32_t CrcSlice[256];
static CrcSlice* CrcSlices;
// Set when the processor can fold (see above); tests clear it to run the
// table methods on long buffers too.
uint8_t CrcFolds;

static uint32_t OverZeros(uint32_t r, uint32_t zeros) {
  while (zeros-- > 0) r = CrcSlices[0][r & 0xFF] ^ (r >> 8);
  return r;
}

static void BuildCrcSlices() {
  if (CrcSlices == 0) CrcSlices = static_cast<CrcSlice*>(AllocateBlock(sizeof(CrcSlice) * CrcAllSlices));
  if (CrcSlices == 0) return;
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int k = 0; k < 8; ++k) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
    CrcSlices[0][i] = v;
  }
  for (int k = 1; k < CrcSliceCount; ++k)
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t v = CrcSlices[k - 1][i];
      CrcSlices[k][i] = CrcSlices[0][v & 0xFF] ^ (v >> 8);
    }
  // Shift slice k: a register byte at bits 8k..8k+7 moved over one lane.
  uint32_t bitMoved[32];
  for (int bit = 0; bit < 32; ++bit) bitMoved[bit] = OverZeros(1u << bit, CrcLaneBytes);
  for (int k = 0; k < 4; ++k)
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t v = 0;
      for (int bit = 0; bit < 8; ++bit)
        if (i >> bit & 1) v ^= bitMoved[8 * k + bit];
      CrcSlices[CrcShiftSlices + k][i] = v;
    }
}

// Whether the processor has PCLMULQDQ and SSE2.
static bool ProcessorFolds() {
#ifdef CRC_CAN_FOLD
  unsigned a, b, c, d;
  if (__get_cpuid(1, &a, &b, &c, &d)) return (c & bit_PCLMUL) != 0 && (d & bit_SSE2) != 0;
#endif
  return false;
}

void BuildCrcTable() {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int k = 0; k < 8; ++k) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
    CrcTable[i] = v;
  }
  BuildCrcSlices();
  CrcFolds = CrcSlices != 0 && ProcessorFolds();
}

static inline uint32_t LoadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

static inline uint32_t SliceByEight(uint32_t r, const uint8_t* p) {
#if UINTPTR_MAX > 0xFFFFFFFFu
  // One 64-bit load where the machine has them.
  uint64_t word = static_cast<uint64_t>(LoadLittle32(p)) | static_cast<uint64_t>(LoadLittle32(p + 4)) << 32;
  uint32_t low = static_cast<uint32_t>(word) ^ r;
  uint32_t high = static_cast<uint32_t>(word >> 32);
#else
  uint32_t low = LoadLittle32(p) ^ r;
  uint32_t high = LoadLittle32(p + 4);
#endif
  return CrcSlices[7][low & 0xFF] ^ CrcSlices[6][(low >> 8) & 0xFF] ^ CrcSlices[5][(low >> 16) & 0xFF] ^
         CrcSlices[4][low >> 24] ^ CrcSlices[3][high & 0xFF] ^ CrcSlices[2][(high >> 8) & 0xFF] ^
         CrcSlices[1][(high >> 16) & 0xFF] ^ CrcSlices[0][high >> 24];
}

static inline uint32_t MoveOverLane(uint32_t r) {
  return CrcSlices[CrcShiftSlices][r & 0xFF] ^ CrcSlices[CrcShiftSlices + 1][(r >> 8) & 0xFF] ^
         CrcSlices[CrcShiftSlices + 2][(r >> 16) & 0xFF] ^ CrcSlices[CrcShiftSlices + 3][r >> 24];
}

static inline uint32_t SliceBySixteen(uint32_t r, const uint8_t* p) {
  uint32_t a = LoadLittle32(p) ^ r;
  uint32_t b = LoadLittle32(p + 4);
  uint32_t c = LoadLittle32(p + 8);
  uint32_t d = LoadLittle32(p + 12);
  return CrcSlices[15][a & 0xFF] ^ CrcSlices[14][(a >> 8) & 0xFF] ^ CrcSlices[13][(a >> 16) & 0xFF] ^
         CrcSlices[12][a >> 24] ^ CrcSlices[11][b & 0xFF] ^ CrcSlices[10][(b >> 8) & 0xFF] ^
         CrcSlices[9][(b >> 16) & 0xFF] ^ CrcSlices[8][b >> 24] ^ CrcSlices[7][c & 0xFF] ^
         CrcSlices[6][(c >> 8) & 0xFF] ^ CrcSlices[5][(c >> 16) & 0xFF] ^ CrcSlices[4][c >> 24] ^
         CrcSlices[3][d & 0xFF] ^ CrcSlices[2][(d >> 8) & 0xFF] ^ CrcSlices[1][(d >> 16) & 0xFF] ^
         CrcSlices[0][d >> 24];
}

#ifdef CRC_CAN_FOLD
// The two halves of a 128-bit lane times their constants, added.
__attribute__((target("sse2,pclmul"))) static inline __m128i FoldLane(__m128i lane, __m128i constants) {
  return _mm_xor_si128(_mm_clmulepi64_si128(lane, constants, 0x00), _mm_clmulepi64_si128(lane, constants, 0x11));
}

// The register after blocks (at least one) of 64 bytes from register r.
__attribute__((target("sse2,pclmul"))) static uint32_t FoldBlocks(const uint8_t* p, uint32_t blocks, uint32_t r) {
  // Reflected x^(512+32), x^(512-32), x^(128+32), x^(128-32) modulo the polynomial, one bit up.
  const __m128i over512 = _mm_set_epi64x(0x1C6E41596, 0x154442BD4);
  const __m128i over128 = _mm_set_epi64x(0x0CCAA009E, 0x1751997D0);
  const __m128i* q = reinterpret_cast<const __m128i*>(p);
  __m128i x0 = _mm_xor_si128(_mm_loadu_si128(q), _mm_cvtsi32_si128(static_cast<int>(r)));
  __m128i x1 = _mm_loadu_si128(q + 1);
  __m128i x2 = _mm_loadu_si128(q + 2);
  __m128i x3 = _mm_loadu_si128(q + 3);
  while (--blocks != 0) {
    q += 4;
    x0 = _mm_xor_si128(FoldLane(x0, over512), _mm_loadu_si128(q));
    x1 = _mm_xor_si128(FoldLane(x1, over512), _mm_loadu_si128(q + 1));
    x2 = _mm_xor_si128(FoldLane(x2, over512), _mm_loadu_si128(q + 2));
    x3 = _mm_xor_si128(FoldLane(x3, over512), _mm_loadu_si128(q + 3));
  }
  x0 = _mm_xor_si128(FoldLane(x0, over128), x1);
  x0 = _mm_xor_si128(FoldLane(x0, over128), x2);
  x0 = _mm_xor_si128(FoldLane(x0, over128), x3);
  uint8_t last[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x0);
  return SliceBySixteen(0, last);
}
#endif

void CrcOverBuffer(const uint8_t* bytes, int32_t count, uint32_t* reg) {
  if (count <= 0) return;
  uint32_t r = *reg;
  uint32_t n = static_cast<uint32_t>(count);
  if (CrcSlices == 0) {
    for (; n > 0; --n) r = UpdateCrc(*bytes++, r);
    *reg = r;
    return;
  }
#ifdef CRC_CAN_FOLD
  if (CrcFolds && n >= 64) {
    r = FoldBlocks(bytes, n / 64, r);
    bytes += n & ~63u;
    n &= 63;
  }
#endif
  const uint32_t block = static_cast<uint32_t>(CrcLanes) * CrcLaneBytes;
  for (; n >= block; n -= block, bytes += block) {
    uint32_t lane[CrcLanes] = {r};
    for (uint32_t i = 0; i < CrcLaneBytes; i += 8)
      for (int k = 0; k < CrcLanes; ++k) lane[k] = SliceByEight(lane[k], bytes + k * CrcLaneBytes + i);
    r = lane[0];
    for (int k = 1; k < CrcLanes; ++k) r = MoveOverLane(r) ^ lane[k];
  }
  for (; n >= 16; n -= 16, bytes += 16) r = SliceBySixteen(r, bytes);
  for (; n > 0; --n) r = CrcSlices[0][(r ^ *bytes++) & 0xFF] ^ (r >> 8);
  *reg = r;
}
