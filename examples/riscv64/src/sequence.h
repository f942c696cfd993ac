/* The simulated sensor: a pseudo-random sequence, scrambled, over a sine table. */

#ifndef SEQUENCE_H
#define SEQUENCE_H

#include <stdint.h>

/* The next raw 12-bit sample of the simulated channel. */
int sequence_next(void);
/* How many samples the sequence has given since start-up. */
unsigned sequence_count(void);

#endif
