/* Preloaded into a program under test, plays a driver that fails at random:
 * a process that turns fog on gets a magenta fog colour from then on with
 * the chance DICEFOG_RATE (0.5 where unset). The draw is a hash of
 * DICEFOG_SEED and the process's number among those that turned fog on,
 * counted in the file DICEFOG_COUNTER under a lock as flakyfog counts, so
 * a seed and a fresh counter give the same sequence of broken and sound
 * processes every time. Without DICEFOG_SEED every call passes through.
 */
#include "brokenfog.h"

#include <stdint.h>

/* This process's number among those that turned fog on, from 1; its pid
 * where there is no counter file. */
static uint64_t process_number(void)
{
    uint64_t count = process_count("DICEFOG_COUNTER");
    return count ? count : (uint64_t)getpid();
}

/* splitmix64's output function: consecutive inputs give unrelated bits. */
static uint64_t mixed(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

static int broken_process(void)
{
    const char *seed = getenv("DICEFOG_SEED"), *rate = getenv("DICEFOG_RATE");
    if (seed == NULL)
        return 0;
    double chance = rate ? strtod(rate, NULL) : 0.5;
    uint64_t x = mixed(mixed(strtoull(seed, NULL, 10)) ^ process_number());
    return (double)(x >> 11) / 9007199254740992.0 < chance;
}
