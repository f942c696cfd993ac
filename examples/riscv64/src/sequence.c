/* The simulated sensor channel. Its generator state is a function-local static (GCC names it
 * state.N in the symbol table), the scrambler a file-local function kept out of line so that it
 * stays a symbol of its own. */

#include "sequence.h"

/* A quarter period of a sine wave, 11-bit amplitude: the signal under the noise. */
static const int16_t k_quarter_sine[33] = {
    0,    100,  200,  297,  392,  483,  569,  650,  724,  792,  851,  903,
    946,  980,  1004, 1019, 1024, 1019, 1004, 980,  946,  903,  851,  792,
    724,  650,  569,  483,  392,  297,  200,  100,  0,
};

static unsigned s_count;

__attribute__((noinline)) static uint32_t scramble(uint32_t x) {
  /* xorshift32 */
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

int sequence_next(void) {
  static int state = 0x2545F491;
  state = (int)scramble((uint32_t)state);
  const unsigned phase = s_count++ & 127u;
  const unsigned quarter = phase >> 5;
  const unsigned step = phase & 31u;
  int wave = k_quarter_sine[(quarter & 1u) != 0u ? 32u - step : step];
  if (quarter >= 2u) {
    wave = -wave;
  }
  return 2048 + wave + (state & 0x3F) - 32;
}

unsigned sequence_count(void) { return s_count; }
