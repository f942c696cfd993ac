/* Vector table and reset handler of the Cortex-M3 demo logger (an STM32F103-like part with 64
 * KiB of flash and 20 KiB of RAM). The table is placed in .isr_vector at the start of flash;
 * every handler not written here is a weak alias of default_handler. */

#include <stdint.h>

extern uint32_t _sidata, _sdata, _edata, _sbss, _ebss, __stack_top;

extern void __libc_init_array(void);
extern int main(void);

void Reset_Handler(void);
void default_handler(void);

#define WEAK_HANDLER(name) void name(void) __attribute__((weak, alias("default_handler")))

WEAK_HANDLER(NMI_Handler);
WEAK_HANDLER(HardFault_Handler);
WEAK_HANDLER(MemManage_Handler);
WEAK_HANDLER(BusFault_Handler);
WEAK_HANDLER(UsageFault_Handler);
WEAK_HANDLER(SVC_Handler);
WEAK_HANDLER(DebugMon_Handler);
WEAK_HANDLER(PendSV_Handler);
WEAK_HANDLER(SysTick_Handler);
WEAK_HANDLER(WWDG_IRQHandler);
WEAK_HANDLER(PVD_IRQHandler);
WEAK_HANDLER(TAMPER_IRQHandler);
WEAK_HANDLER(RTC_IRQHandler);
WEAK_HANDLER(FLASH_IRQHandler);
WEAK_HANDLER(RCC_IRQHandler);
WEAK_HANDLER(EXTI0_IRQHandler);
WEAK_HANDLER(EXTI1_IRQHandler);
WEAK_HANDLER(EXTI2_IRQHandler);
WEAK_HANDLER(EXTI3_IRQHandler);
WEAK_HANDLER(EXTI4_IRQHandler);
WEAK_HANDLER(DMA1_Channel1_IRQHandler);
WEAK_HANDLER(DMA1_Channel2_IRQHandler);
WEAK_HANDLER(DMA1_Channel3_IRQHandler);
WEAK_HANDLER(DMA1_Channel4_IRQHandler);
WEAK_HANDLER(DMA1_Channel5_IRQHandler);
WEAK_HANDLER(DMA1_Channel6_IRQHandler);
WEAK_HANDLER(DMA1_Channel7_IRQHandler);
WEAK_HANDLER(ADC1_2_IRQHandler);
WEAK_HANDLER(USB_HP_CAN1_TX_IRQHandler);
WEAK_HANDLER(USB_LP_CAN1_RX0_IRQHandler);
WEAK_HANDLER(CAN1_RX1_IRQHandler);
WEAK_HANDLER(CAN1_SCE_IRQHandler);
WEAK_HANDLER(EXTI9_5_IRQHandler);
WEAK_HANDLER(TIM1_BRK_IRQHandler);
WEAK_HANDLER(TIM1_UP_IRQHandler);
WEAK_HANDLER(TIM1_TRG_COM_IRQHandler);
WEAK_HANDLER(TIM1_CC_IRQHandler);
WEAK_HANDLER(TIM2_IRQHandler);
WEAK_HANDLER(TIM3_IRQHandler);
WEAK_HANDLER(TIM4_IRQHandler);
WEAK_HANDLER(I2C1_EV_IRQHandler);
WEAK_HANDLER(I2C1_ER_IRQHandler);
WEAK_HANDLER(I2C2_EV_IRQHandler);
WEAK_HANDLER(I2C2_ER_IRQHandler);
WEAK_HANDLER(SPI1_IRQHandler);
WEAK_HANDLER(SPI2_IRQHandler);
WEAK_HANDLER(USART1_IRQHandler);
WEAK_HANDLER(USART2_IRQHandler);
WEAK_HANDLER(USART3_IRQHandler);
WEAK_HANDLER(EXTI15_10_IRQHandler);
WEAK_HANDLER(RTC_Alarm_IRQHandler);
WEAK_HANDLER(USBWakeUp_IRQHandler);

typedef void (*vector_entry)(void);

/* 16 system entries (the first is the initial stack pointer) and 43 interrupts. */
__attribute__((section(".isr_vector"), used)) const vector_entry g_vector_table[16 + 43] = {
    (vector_entry)&__stack_top,
    Reset_Handler,
    NMI_Handler,
    HardFault_Handler,
    MemManage_Handler,
    BusFault_Handler,
    UsageFault_Handler,
    0,
    0,
    0,
    0,
    SVC_Handler,
    DebugMon_Handler,
    0,
    PendSV_Handler,
    SysTick_Handler,
    WWDG_IRQHandler,
    PVD_IRQHandler,
    TAMPER_IRQHandler,
    RTC_IRQHandler,
    FLASH_IRQHandler,
    RCC_IRQHandler,
    EXTI0_IRQHandler,
    EXTI1_IRQHandler,
    EXTI2_IRQHandler,
    EXTI3_IRQHandler,
    EXTI4_IRQHandler,
    DMA1_Channel1_IRQHandler,
    DMA1_Channel2_IRQHandler,
    DMA1_Channel3_IRQHandler,
    DMA1_Channel4_IRQHandler,
    DMA1_Channel5_IRQHandler,
    DMA1_Channel6_IRQHandler,
    DMA1_Channel7_IRQHandler,
    ADC1_2_IRQHandler,
    USB_HP_CAN1_TX_IRQHandler,
    USB_LP_CAN1_RX0_IRQHandler,
    CAN1_RX1_IRQHandler,
    CAN1_SCE_IRQHandler,
    EXTI9_5_IRQHandler,
    TIM1_BRK_IRQHandler,
    TIM1_UP_IRQHandler,
    TIM1_TRG_COM_IRQHandler,
    TIM1_CC_IRQHandler,
    TIM2_IRQHandler,
    TIM3_IRQHandler,
    TIM4_IRQHandler,
    I2C1_EV_IRQHandler,
    I2C1_ER_IRQHandler,
    I2C2_EV_IRQHandler,
    I2C2_ER_IRQHandler,
    SPI1_IRQHandler,
    SPI2_IRQHandler,
    USART1_IRQHandler,
    USART2_IRQHandler,
    USART3_IRQHandler,
    EXTI15_10_IRQHandler,
    RTC_Alarm_IRQHandler,
    USBWakeUp_IRQHandler,
};

/* Start-up without the C library's crt0: copy .data from its load image in flash, clear
 * .bss, run the constructors, then main. */
void Reset_Handler(void) {
  const uint32_t* src = &_sidata;
  for (uint32_t* dst = &_sdata; dst < &_edata;) {
    *dst++ = *src++;
  }
  for (uint32_t* dst = &_sbss; dst < &_ebss;) {
    *dst++ = 0;
  }
  __libc_init_array();
  (void)main();
  for (;;) {
  }
}

void default_handler(void) {
  for (;;) {
  }
}

/* __libc_init_array calls _init and __libc_fini_array calls _fini; without crti.o they are
 * empty, the constructor tables are walked from the linker script's symbols. */
void _init(void) {}
void _fini(void) {}
