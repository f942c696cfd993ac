/* The frame encoder: reads the simulated sensor channel, corrects every sample with a
 * calibration table, packs the samples into frames with a CRC-16, and prints a line per frame
 * with printf over the UART. picolibc's crt0 copies .data, clears .bss and calls main. */

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "board.h"
#include "crc16.h"
#include "sequence.h"

#define FRAME_SAMPLES 32u

typedef struct {
  uint16_t sequence;
  uint16_t count;
  uint16_t samples[FRAME_SAMPLES];
  uint16_t crc;
} frame;

/* Initialised data: lives in RAM, its initial values come from flash. The offsets are
 * adjusted at run time, so the table cannot be a constant. */
static int16_t s_calibration[8] = {-12, -7, -3, 0, 2, 5, 9, 14};
static const char* s_channel_name = "rv64 frame encoder";

/* Cleared at start-up. */
static frame s_frame;
static uint32_t s_frames_sent;
static uint32_t s_clipped[2];

static uint16_t calibrate(int raw) {
  const int corrected = raw + s_calibration[(raw >> 9) & 7];
  if (corrected < 0) {
    ++s_clipped[0];
    return 0u;
  }
  if (corrected > 4095) {
    ++s_clipped[1];
    return 4095u;
  }
  return (uint16_t)corrected;
}

/* Slowly moves every offset towards the mean of the last frame. */
static void drift(const frame* f) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < f->count; ++i) {
    sum += f->samples[i];
  }
  const int mean = (int)(sum / f->count);
  for (unsigned i = 0; i < 8u; ++i) {
    s_calibration[i] = (int16_t)(s_calibration[i] + (mean > 2048 ? -1 : 1));
  }
}

static void send_frame(frame* f) {
  f->crc = crc16_update(0xFFFFu, f, offsetof(frame, crc));
  printf("frame %5u  samples %2u  first %4u  last %4u  crc %04x\n", (unsigned)f->sequence,
         (unsigned)f->count, (unsigned)f->samples[0], (unsigned)f->samples[f->count - 1u],
         (unsigned)f->crc);
}

int main(void) {
  board_init();
  printf("%s: %u samples a frame\n", s_channel_name, FRAME_SAMPLES);
  for (;;) {
    memset(&s_frame, 0, sizeof s_frame);
    s_frame.sequence = (uint16_t)s_frames_sent;
    const uint64_t start = board_cycles();
    while (s_frame.count < FRAME_SAMPLES) {
      board_idle();
      s_frame.samples[s_frame.count++] = calibrate(sequence_next());
    }
    send_frame(&s_frame);
    drift(&s_frame);
    ++s_frames_sent;
    if ((s_frames_sent % 64u) == 0u) {
      printf("after %u samples: clipped low %u, high %u, %u cycles a frame\n",
             sequence_count(), (unsigned)s_clipped[0], (unsigned)s_clipped[1],
             (unsigned)(board_cycles() - start));
    }
  }
}
