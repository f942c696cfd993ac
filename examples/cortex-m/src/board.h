/* The few registers of the STM32F103-like part the demo logger touches: clock enables, the
 * pin of USART1's transmit line, USART1 itself and the SysTick timer. Plain volatile
 * pointers, no vendor headers. */

#ifndef BOARD_H
#define BOARD_H

#include <stdint.h>

#define REG32(address) (*(volatile uint32_t*)(address))

#define RCC_APB2ENR REG32(0x40021018u)
#define RCC_APB2ENR_IOPAEN (1u << 2)
#define RCC_APB2ENR_USART1EN (1u << 14)

#define GPIOA_CRH REG32(0x40010804u)

#define USART1_SR REG32(0x40013800u)
#define USART1_DR REG32(0x40013804u)
#define USART1_BRR REG32(0x40013808u)
#define USART1_CR1 REG32(0x4001380Cu)
#define USART_SR_TXE (1u << 7)
#define USART_SR_RXNE (1u << 5)
#define USART_CR1_UE (1u << 13)
#define USART_CR1_TE (1u << 3)
#define USART_CR1_RE (1u << 2)

#define SYST_CSR REG32(0xE000E010u)
#define SYST_RVR REG32(0xE000E014u)
#define SYST_CVR REG32(0xE000E018u)

#define CORE_CLOCK_HZ 8000000u

void board_init(void);
uint32_t board_ticks(void);

#endif
