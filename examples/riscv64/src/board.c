/* The UART, picolibc's standard output on it, the cycle counter and the weak idle hook. */

#include "board.h"

#include <stdio.h>

static int uart_put(char c, FILE* file) {
  (void)file;
  while ((UART_LSR & UART_LSR_THRE) == 0u) {
  }
  UART_THR = (uint8_t)c;
  return (unsigned char)c;
}

/* picolibc's stdio writes through this stream; stdout is the application's to define. */
static FILE s_uart_stream = FDEV_SETUP_STREAM(uart_put, NULL, NULL, _FDEV_SETUP_WRITE);
FILE* const stdout = &s_uart_stream;

void board_init(void) {
  UART_IER = 0x00u;
  UART_LCR = 0x03u; /* 8 data bits, no parity, 1 stop bit */
  UART_FCR = 0x07u; /* FIFOs on and cleared */
}

uint64_t board_cycles(void) {
  uint64_t cycles;
  __asm volatile("rdcycle %0" : "=r"(cycles));
  return cycles;
}

__attribute__((weak)) void board_idle(void) { __asm volatile("wfi"); }
