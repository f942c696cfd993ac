/* Linker script of the Cortex-M3 demo logger: 64 KiB flash at 0x08000000, 20 KiB RAM at
 * 0x20000000. Classic output sections, no garbage collection; .data is copied from its load
 * image in flash, and the heap (8 KiB) and the stack (2 KiB) are NOLOAD sections of their own
 * so that the linker's memory usage counts them. */

ENTRY(Reset_Handler)

MEMORY
{
  FLASH (rx)  : ORIGIN = 0x08000000, LENGTH = 64K
  RAM   (rwx) : ORIGIN = 0x20000000, LENGTH = 20K
}

HEAP_SIZE  = 0x2000;
STACK_SIZE = 0x800;

SECTIONS
{
  .isr_vector :
  {
    . = ALIGN(4);
    KEEP(*(.isr_vector))
    . = ALIGN(8);
  } > FLASH

  .text :
  {
    . = ALIGN(4);
    *(.text .text.* .gnu.linkonce.t.*)
    *(.glue_7) *(.glue_7t) *(.vfp11_veneer) *(.v4_bx)
    KEEP(*(.init))
    KEEP(*(.fini))
    . = ALIGN(8);
    _etext = .;
  } > FLASH

  .rodata :
  {
    . = ALIGN(4);
    *(.rodata .rodata.* .gnu.linkonce.r.*)
    *(.ARM.extab* .gnu.linkonce.armextab.*)
    . = ALIGN(4);
  } > FLASH

  /* The constructor and destructor tables walked by __libc_init_array and
   * __libc_fini_array. */
  .preinit_array :
  {
    PROVIDE_HIDDEN(__preinit_array_start = .);
    KEEP(*(.preinit_array*))
    PROVIDE_HIDDEN(__preinit_array_end = .);
  } > FLASH

  .init_array :
  {
    PROVIDE_HIDDEN(__init_array_start = .);
    KEEP(*(SORT(.init_array.*)))
    KEEP(*(.init_array))
    PROVIDE_HIDDEN(__init_array_end = .);
  } > FLASH

  .fini_array :
  {
    PROVIDE_HIDDEN(__fini_array_start = .);
    KEEP(*(SORT(.fini_array.*)))
    KEEP(*(.fini_array))
    PROVIDE_HIDDEN(__fini_array_end = .);
  } > FLASH

  /* Unwinding index: only present when a linked object carries one. */
  .ARM.exidx :
  {
    *(.ARM.exidx* .gnu.linkonce.armexidx.*)
  } > FLASH

  /* Initialised data: runs in RAM, its initial values are stored in flash right after the
   * code and copied by the reset handler. */
  _sidata = LOADADDR(.data);
  .data :
  {
    . = ALIGN(4);
    _sdata = .;
    *(.data .data.* .gnu.linkonce.d.*)
    . = ALIGN(8);
    _edata = .;
  } > RAM AT> FLASH

  .bss :
  {
    . = ALIGN(4);
    _sbss = .;
    __bss_start__ = _sbss;
    *(.bss .bss.* .gnu.linkonce.b.*)
    *(COMMON)
    . = ALIGN(8);
    _ebss = .;
    __bss_end__ = _ebss;
  } > RAM

  .heap (NOLOAD) :
  {
    . = ALIGN(8);
    __heap_start = .;
    . = . + HEAP_SIZE;
    __heap_end = .;
  } > RAM

  .stack (NOLOAD) :
  {
    . = ALIGN(8);
    __stack_bottom = .;
    . = . + STACK_SIZE;
    __stack_top = .;
  } > RAM

  ASSERT(SIZEOF(.heap) == 0x2000, "the heap must be 8 KiB")

  /* The C library's own debugging information would make the image ten times bigger; only
   * that of the firmware's own sources is kept. */
  /DISCARD/ :
  {
    *.a:*(.debug*)
  }
}
