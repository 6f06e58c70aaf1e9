#pragma once

#include "kvTestSupport.h"

#include <QFile>
#include <QList>

#include <sys/resource.h>
#include <unistd.h>

namespace KvTest {

// While it lives the process can take only pHeadroom more bytes of address space, so that
// a large allocation fails as on a machine out of memory. It does nothing where the address
// space cannot be measured or under a sanitizer's allocator, which reserves far more.
class AddressSpaceLimit
{
public:
    explicit AddressSpaceLimit(qint64 pHeadroom)
    {
        QFile tStatm(QStringLiteral("/proc/self/statm"));
        if (heapInUse() < 0 || !tStatm.open(QIODevice::ReadOnly)
            || getrlimit(RLIMIT_AS, &m_old) != 0)
            return;
        bool tRead = false;
        const qint64 tPages = tStatm.readAll().split(' ').value(0).toLongLong(&tRead);
        if (!tRead)
            return;
        rlimit tLimit = m_old;
        tLimit.rlim_cur = rlim_t(tPages * sysconf(_SC_PAGESIZE) + pHeadroom);
        m_active = setrlimit(RLIMIT_AS, &tLimit) == 0;
    }
    ~AddressSpaceLimit()
    {
        if (m_active)
            setrlimit(RLIMIT_AS, &m_old);
    }
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

    bool isActive() const { return m_active; }

private:
    rlimit m_old {};
    bool m_active = false;
};

} // namespace KvTest
