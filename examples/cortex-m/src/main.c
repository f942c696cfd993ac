/* The demo logger: samples a (simulated) 12-bit sensor channel every SysTick period, filters
 * it, keeps the records in a ring buffer taken from the heap with malloc, and prints a report
 * line with printf over USART1 every block of records, with the block's CRC-32. */

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "board.h"
#include "crc32.h"
#include "filter.h"

typedef struct {
  uint32_t tick;
  int16_t raw;
  int16_t filtered;
  uint16_t channel;
  uint16_t flags;
} sample_record;

typedef struct {
  const char* name;
  uint32_t block_length;
  int32_t alarm_high;
  int32_t alarm_low;
  uint32_t noise_seed;
} logger_config;

/* One period of a sine wave, 12-bit amplitude: the simulated sensor signal. */
static const int16_t k_sine[256] = {
    0,     50,    100,   151,   201,   251,   300,   350,   399,   449,   497,   546,   594,
    642,   690,   737,   783,   830,   875,   920,   965,   1009,  1052,  1095,  1137,  1179,
    1219,  1259,  1299,  1337,  1375,  1411,  1447,  1483,  1517,  1550,  1582,  1614,  1644,
    1674,  1702,  1729,  1756,  1781,  1805,  1828,  1850,  1871,  1891,  1910,  1927,  1944,
    1959,  1973,  1986,  1997,  2008,  2017,  2025,  2032,  2037,  2041,  2045,  2046,  2047,
    2046,  2045,  2041,  2037,  2032,  2025,  2017,  2008,  1997,  1986,  1973,  1959,  1944,
    1927,  1910,  1891,  1871,  1850,  1828,  1805,  1781,  1756,  1729,  1702,  1674,  1644,
    1614,  1582,  1550,  1517,  1483,  1447,  1411,  1375,  1337,  1299,  1259,  1219,  1179,
    1137,  1095,  1052,  1009,  965,   920,   875,   830,   783,   737,   690,   642,   594,
    546,   497,   449,   399,   350,   300,   251,   201,   151,   100,   50,    0,     -50,
    -100,  -151,  -201,  -251,  -300,  -350,  -399,  -449,  -497,  -546,  -594,  -642,  -690,
    -737,  -783,  -830,  -875,  -920,  -965,  -1009, -1052, -1095, -1137, -1179, -1219, -1259,
    -1299, -1337, -1375, -1411, -1447, -1483, -1517, -1550, -1582, -1614, -1644, -1674, -1702,
    -1729, -1756, -1781, -1805, -1828, -1850, -1871, -1891, -1910, -1927, -1944, -1959, -1973,
    -1986, -1997, -2008, -2017, -2025, -2032, -2037, -2041, -2045, -2046, -2047, -2046, -2045,
    -2041, -2037, -2032, -2025, -2017, -2008, -1997, -1986, -1973, -1959, -1944, -1927, -1910,
    -1891, -1871, -1850, -1828, -1805, -1781, -1756, -1729, -1702, -1674, -1644, -1614, -1582,
    -1550, -1517, -1483, -1447, -1411, -1375, -1337, -1299, -1259, -1219, -1179, -1137, -1095,
    -1052, -1009, -965,  -920,  -875,  -830,  -783,  -737,  -690,  -642,  -594,  -546,  -497,
    -449,  -399,  -350,  -300,  -251,  -201,  -151,  -100,  -50,
};

/* Initialised data: lives in RAM, its initial values come from flash. */
static logger_config s_config = {"cortex-m demo logger", 64u, 1800, -1800, 0x2545F491u};
static const char* s_flag_names[] = {"ok", "high", "low", "clipped"};

/* Cleared at start-up. */
static volatile uint32_t s_ticks;
static uint32_t s_blocks_done;
static uint32_t s_alarms[4];

void SysTick_Handler(void) { ++s_ticks; }

void board_init(void) {
  RCC_APB2ENR |= RCC_APB2ENR_IOPAEN | RCC_APB2ENR_USART1EN;
  /* PA9: alternate function push-pull, 50 MHz; PA10: floating input. */
  GPIOA_CRH = (GPIOA_CRH & ~0x00000FF0u) | 0x000004B0u;
  USART1_BRR = CORE_CLOCK_HZ / 115200u;
  USART1_CR1 = USART_CR1_UE | USART_CR1_TE | USART_CR1_RE;
  SYST_RVR = CORE_CLOCK_HZ / 1000u - 1u;
  SYST_CVR = 0u;
  SYST_CSR = 7u;
}

uint32_t board_ticks(void) { return s_ticks; }

static uint32_t next_noise(void) {
  /* xorshift32: cheap, deterministic noise on top of the sine wave. */
  uint32_t x = s_config.noise_seed;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  s_config.noise_seed = x;
  return x;
}

static sample_record take_sample(uint32_t index) {
  sample_record record;
  const int32_t noise = (int32_t)(next_noise() & 0xFFu) - 128;
  const int32_t raw = k_sine[index & 0xFFu] + noise;
  record.tick = board_ticks();
  record.raw = (int16_t)raw;
  record.filtered = (int16_t)filter_sample(raw);
  record.channel = filter_limit_channel(raw + 2048);
  if (record.filtered > s_config.alarm_high) {
    record.flags = 1u;
  } else if (record.filtered < s_config.alarm_low) {
    record.flags = 2u;
  } else if (record.channel == 16u || record.channel == 4080u) {
    record.flags = 3u;
  } else {
    record.flags = 0u;
  }
  ++s_alarms[record.flags];
  return record;
}

static void report_block(const sample_record* records, uint32_t count) {
  int32_t low = INT16_MAX;
  int32_t high = INT16_MIN;
  int64_t sum = 0;
  for (uint32_t i = 0; i < count; ++i) {
    low = records[i].filtered < low ? records[i].filtered : low;
    high = records[i].filtered > high ? records[i].filtered : high;
    sum += records[i].filtered;
  }
  const uint32_t crc = crc32_update(0u, records, count * sizeof(sample_record));
  printf("block %4lu  min %6ld  max %6ld  mean %8.2f  crc %08lx  last %s\n",
         (unsigned long)s_blocks_done, (long)low, (long)high, (double)sum / (double)count,
         (unsigned long)crc, s_flag_names[records[count - 1u].flags]);
}

int main(void) {
  board_init();
  printf("%s: %lu records a block, alarms at %ld / %ld\n", s_config.name,
         (unsigned long)s_config.block_length, (long)s_config.alarm_low, (long)s_config.alarm_high);

  sample_record* records = malloc(s_config.block_length * sizeof(sample_record));
  if (records == NULL) {
    fputs("no heap for the ring buffer\n", stderr);
    return 1;
  }
  memset(records, 0, s_config.block_length * sizeof(sample_record));

  uint32_t index = 0;
  for (;;) {
    for (uint32_t i = 0; i < s_config.block_length; ++i) {
      const uint32_t start = board_ticks();
      while (board_ticks() == start) {
        __asm volatile("wfi");
      }
      records[i] = take_sample(index);
      index += 3u;
    }
    report_block(records, s_config.block_length);
    ++s_blocks_done;
    if ((s_blocks_done % 16u) == 0u) {
      printf("alarms: ok %lu, high %lu, low %lu, clipped %lu\n", (unsigned long)s_alarms[0],
             (unsigned long)s_alarms[1], (unsigned long)s_alarms[2], (unsigned long)s_alarms[3]);
      char* line = calloc(48u, 1u);
      if (line != NULL) {
        snprintf(line, 48u, "filter %ld after %lu blocks", (long)filter_value(),
                 (unsigned long)s_blocks_done);
        puts(line);
        free(line);
      }
    }
  }
}
