/* CRC-16/CCITT-FALSE (polynomial 0x1021, initial value 0xFFFF) over the encoder's frames, table
 * driven: the 512-byte table is a constant in flash. */

#ifndef CRC16_H
#define CRC16_H

#include <stddef.h>
#include <stdint.h>

uint16_t crc16_update(uint16_t crc, const void* data, size_t length);

#endif
