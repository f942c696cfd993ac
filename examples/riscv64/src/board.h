/* The board of the RISC-V 64 frame encoder: a 16550-compatible UART at 0x10000000 (as on
 * QEMU's virt machine), standard output on it, and a weak idle hook. Plain volatile pointers,
 * no vendor headers. */

#ifndef BOARD_H
#define BOARD_H

#include <stdint.h>

#define REG8(address) (*(volatile uint8_t*)(address))

#define UART_BASE 0x10000000u
#define UART_THR REG8(UART_BASE + 0u) /* transmit holding register */
#define UART_IER REG8(UART_BASE + 1u) /* interrupt enable */
#define UART_FCR REG8(UART_BASE + 2u) /* FIFO control */
#define UART_LCR REG8(UART_BASE + 3u) /* line control */
#define UART_LSR REG8(UART_BASE + 5u) /* line status */
#define UART_LSR_THRE (1u << 5)

void board_init(void);
uint64_t board_cycles(void);
/* Called while the encoder waits for the next sample; the board's own is a weak one that
 * waits for an interrupt, an application may bring its own. */
void board_idle(void);

#endif
