/* CRC-32 (the reflected 0xEDB88320 polynomial of Ethernet and zip) over the logger's records,
 * table driven: the 1 KiB table is a constant in flash. */

#ifndef CRC32_H
#define CRC32_H

#include <stddef.h>
#include <stdint.h>

uint32_t crc32_update(uint32_t crc, const void* data, size_t length);

#endif
