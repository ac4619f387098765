/* Preloaded into a program under test, plays a driver that fails now and
 * then: every other process that turns fog on gets a magenta fog colour
 * from then on, like fogbreak. The processes are counted in the file named
 * by FLAKYFOG_COUNTER, a number that the first glEnable(GL_FOG) of each
 * process increments under a lock; the first, third, fifth... are broken.
 * A process that never turns fog on is not counted, so only fog states
 * alternate; without FLAKYFOG_COUNTER every call passes through. */
#include "brokenfog.h"

static int broken_process(void)
{
    return process_count("FLAKYFOG_COUNTER") % 2 == 1;
}
