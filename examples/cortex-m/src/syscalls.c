/* The system calls newlib needs on this bare-metal target: standard output and standard error
 * go to USART1, the heap is the linker script's .heap section (8 KiB), and everything else
 * fails the way newlib's callers expect. */

#include <errno.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>

#include "board.h"

#undef errno
extern int errno;

extern uint8_t __heap_start[];
extern uint8_t __heap_end[];

static uint8_t* s_heap_top = __heap_start;

void* _sbrk(ptrdiff_t increment) {
  uint8_t* previous = s_heap_top;
  if (increment < 0 ? (size_t)(-increment) > (size_t)(s_heap_top - __heap_start)
                    : (size_t)increment > (size_t)(__heap_end - s_heap_top)) {
    errno = ENOMEM;
    return (void*)-1;
  }
  s_heap_top += increment;
  return previous;
}

int _write(int file, const char* data, int length) {
  if (file != 1 && file != 2) {
    errno = EBADF;
    return -1;
  }
  for (int i = 0; i < length; ++i) {
    if (data[i] == '\n') {
      while ((USART1_SR & USART_SR_TXE) == 0u) {
      }
      USART1_DR = '\r';
    }
    while ((USART1_SR & USART_SR_TXE) == 0u) {
    }
    USART1_DR = (uint8_t)data[i];
  }
  return length;
}

int _read(int file, char* data, int length) {
  if (file != 0) {
    errno = EBADF;
    return -1;
  }
  int count = 0;
  while (count < length) {
    while ((USART1_SR & USART_SR_RXNE) == 0u) {
    }
    data[count] = (char)USART1_DR;
    if (data[count++] == '\r') {
      break;
    }
  }
  return count;
}

int _close(int file) {
  (void)file;
  errno = EBADF;
  return -1;
}

int _fstat(int file, struct stat* status) {
  (void)file;
  status->st_mode = S_IFCHR;
  return 0;
}

int _isatty(int file) { return file >= 0 && file <= 2; }

int _lseek(int file, int offset, int whence) {
  (void)file;
  (void)offset;
  (void)whence;
  return 0;
}

int _getpid(void) { return 1; }

int _kill(int pid, int signal) {
  (void)pid;
  (void)signal;
  errno = EINVAL;
  return -1;
}

void _exit(int status) {
  (void)status;
  for (;;) {
  }
}
