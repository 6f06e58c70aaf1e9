#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace KvTest {

// While it lives no file of the process may grow past pBytes: a write beyond fails as on a
// full disk (with "File too large", the system's own reason), and the process is not ended
// for it.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t pBytes)
    {
        if (getrlimit(RLIMIT_FSIZE, &m_old) != 0)
            return;
        m_oldSignal = signal(SIGXFSZ, SIG_IGN);
        rlimit tLimit = m_old;
        tLimit.rlim_cur = pBytes;
        m_active = setrlimit(RLIMIT_FSIZE, &tLimit) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_active)
            setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldSignal);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return m_active; }

private:
    rlimit m_old {};
    sighandler_t m_oldSignal = SIG_DFL;
    bool m_active = false;
};

} // namespace KvTest
