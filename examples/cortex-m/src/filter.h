/* The C face of the logger's C++ signal filter (filter.cpp): the C start-up and main call
 * these, the class and the templates behind them stay C++. */

#ifndef FILTER_H
#define FILTER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t filter_sample(int32_t raw);
int32_t filter_value(void);
uint16_t filter_limit_channel(int32_t value);

#ifdef __cplusplus
}
#endif

#endif
