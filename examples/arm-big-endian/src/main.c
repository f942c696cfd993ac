/* A minimal big-endian Cortex-M3 program with no C library: a counter in .data, a buffer in
 * .bss, a table in .rodata and a file-local counter, so that an image holds every kind of
 * section the ELF reader computes a load address for. */
#include <stdint.h>

uint32_t counter = 5;
uint32_t buffer[16];
const uint16_t table[4] = {1, 2, 3, 4};
static volatile uint32_t s_rounds = 7;

void _start(void) {
  for (;;) {
    counter += table[counter & 3];
    buffer[counter & 15] = counter;
    ++s_rounds;
  }
}
