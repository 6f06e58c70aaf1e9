/* A changed time of day for a program under test: preloaded (LD_PRELOAD), it moves what
 * clock_gettime, gettimeofday and time say of the time of day by the seconds written in the
 * file KV_FAKE_CLOCK_FILE names ("-3600": an hour back), read again at every call. The
 * monotonic clocks are left alone, unless KV_FAKE_MONOTONIC_FILE names a file: they are then
 * moved forward by the milliseconds it holds ("50"), so that a test can make a step take
 * that long without waiting. It asks the kernel directly and needs no setting up, so that it
 * may be called from the first allocation a sanitizer runtime makes, before any library has
 * been initialised. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

/* The signed whole number in the file the variable pVariable names, or 0. */
static long kvOffset(const char *pVariable)
{
    const char *tPath = getenv(pVariable);
    if (!tPath)
        return 0;
    long tFile = syscall(SYS_openat, AT_FDCWD, tPath, O_RDONLY | O_CLOEXEC);
    if (tFile < 0)
        return 0;
    char tText[32];
    long tRead = syscall(SYS_read, (int)tFile, tText, sizeof tText - 1);
    syscall(SYS_close, (int)tFile);
    if (tRead <= 0)
        return 0;
    long tOffset = 0;
    int tSign = 1;
    int i = 0;
    if (tText[0] == '-' || tText[0] == '+')
        tSign = tText[i++] == '-' ? -1 : 1;
    for (; i < tRead && tText[i] >= '0' && tText[i] <= '9'; ++i)
        tOffset = tOffset * 10 + (tText[i] - '0');
    return tSign * tOffset;
}

static int kvIsTimeOfDay(clockid_t pClock)
{
    return pClock == CLOCK_REALTIME || pClock == CLOCK_REALTIME_COARSE
        || pClock == CLOCK_REALTIME_ALARM;
}

static int kvIsMonotonic(clockid_t pClock)
{
    return pClock == CLOCK_MONOTONIC || pClock == CLOCK_MONOTONIC_RAW
        || pClock == CLOCK_MONOTONIC_COARSE || pClock == CLOCK_BOOTTIME;
}

int clock_gettime(clockid_t pClock, struct timespec *pTime)
{
    long tResult = syscall(SYS_clock_gettime, pClock, pTime);
    if (tResult == 0 && kvIsTimeOfDay(pClock))
        pTime->tv_sec += kvOffset("KV_FAKE_CLOCK_FILE");
    if (tResult == 0 && kvIsMonotonic(pClock)) {
        const long tMilliseconds = kvOffset("KV_FAKE_MONOTONIC_FILE");
        if (tMilliseconds > 0) {
            pTime->tv_sec += tMilliseconds / 1000;
            pTime->tv_nsec += (tMilliseconds % 1000) * 1000000L;
            if (pTime->tv_nsec >= 1000000000L) {
                pTime->tv_nsec -= 1000000000L;
                pTime->tv_sec += 1;
            }
        }
    }
    return (int)tResult;
}

int gettimeofday(struct timeval *pTime, void *pZone)
{
    long tResult = syscall(SYS_gettimeofday, pTime, pZone);
    if (tResult == 0)
        pTime->tv_sec += kvOffset("KV_FAKE_CLOCK_FILE");
    return (int)tResult;
}

time_t time(time_t *pTime)
{
    struct timespec tNow;
    if (clock_gettime(CLOCK_REALTIME, &tNow) != 0)
        return (time_t)-1;
    if (pTime)
        *pTime = tNow.tv_sec;
    return tNow.tv_sec;
}
