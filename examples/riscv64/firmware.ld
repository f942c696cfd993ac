/* Linker script of the RISC-V 64 frame encoder: 256 KiB flash at 0x20000000, 64 KiB RAM at
 * 0x80000000. Classic output sections; picolibc's crt0 copies .data (small data included) from
 * its load image in flash and clears .bss, with the symbols defined here. The stack (4 KiB) is a
 * NOLOAD section of its own so that the linker's memory usage counts it. */

OUTPUT_ARCH(riscv)
ENTRY(_start)

MEMORY
{
  FLASH (rx)  : ORIGIN = 0x20000000, LENGTH = 256K
  RAM   (rwx) : ORIGIN = 0x80000000, LENGTH = 64K
}

STACK_SIZE = 0x1000;

SECTIONS
{
  /* crt0's entry first, at the start of flash. */
  .text :
  {
    KEEP(*(.text.init.enter))
    KEEP(*(SORT_BY_NAME(.init) SORT_BY_NAME(.init.*)))
    *(.text.unlikely .text.unlikely.*)
    *(.text.startup .text.startup.*)
    *(.text .text.*)
    KEEP(*(.fini .fini.*))
    . = ALIGN(8);
  } > FLASH

  .rodata :
  {
    *(.rodata .rodata.*)
    *(.srodata .srodata.*)
    . = ALIGN(8);
    /* The constructor and destructor tables walked by __libc_init_array and
     * __libc_fini_array (empty in this C program). */
    PROVIDE_HIDDEN(__preinit_array_start = .);
    KEEP(*(.preinit_array))
    PROVIDE_HIDDEN(__preinit_array_end = .);
    PROVIDE_HIDDEN(__init_array_start = .);
    KEEP(*(SORT_BY_INIT_PRIORITY(.init_array.*)))
    KEEP(*(.init_array))
    PROVIDE_HIDDEN(__init_array_end = .);
    PROVIDE_HIDDEN(__fini_array_start = .);
    KEEP(*(SORT_BY_INIT_PRIORITY(.fini_array.*)))
    KEEP(*(.fini_array))
    PROVIDE_HIDDEN(__fini_array_end = .);
  } > FLASH

  /* Initialised data, small data behind it: runs in RAM, its initial values are stored in
   * flash right after the constants and copied by crt0. The global pointer lies 2 KiB into the
   * small data, so that ld can relax accesses to both sides of it. */
  .data : ALIGN(8)
  {
    __data_start = .;
    *(.data .data.*)
    . = ALIGN(8);
    __global_pointer$ = . + 0x800;
    *(.sdata .sdata.* .sdata2.*)
    . = ALIGN(8);
    __data_end = .;
  } > RAM AT> FLASH
  __data_source = LOADADDR(.data);
  __data_size = __data_end - __data_start;

  .bss : ALIGN(8)
  {
    __bss_start = .;
    *(.sbss .sbss.*)
    *(.bss .bss.*)
    *(COMMON)
    . = ALIGN(8);
    __bss_end = .;
  } > RAM
  __bss_size = __bss_end - __bss_start;

  .stack (NOLOAD) : ALIGN(16)
  {
    __stack_bottom = .;
    . = . + STACK_SIZE;
    __stack = .;
  } > RAM

  /* crt0 hands _set_tls a TLS base. Nothing linked here has thread-local data (picolibc's
   * errno would bring some, its printf does not touch it); should a change bring any, the
   * assertion below stops the link instead of leaving it without a place. */
  .tdata :
  {
    *(.tdata .tdata.* .tbss .tbss.* .tcommon)
  } > RAM
  ASSERT(SIZEOF(.tdata) == 0, "thread-local data needs a TLS block: none is laid out")
  __tls_base = __bss_end;

  ASSERT(SIZEOF(.stack) == 0x1000, "the stack must be 4 KiB")

  /* The C library's own debugging information and the unwinding tables nothing here uses. */
  /DISCARD/ :
  {
    *.a:*(.debug*)
    *(.eh_frame .eh_frame.*)
    *(.note .note.*)
  }
}
