#pragma once

// POSIX only: a limit on the size of the files a process writes.
#if defined(__unix__) || defined(__APPLE__)
#include <csignal>
#include <sys/resource.h>

namespace quenzil::testsupport {

// While it lives, no file this process writes may grow beyond `bytes`: a write that would stops
// at the limit and the next fails with "File too large", as writes to a full disk do.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_before);
        const rlimit limit{bytes, m_before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_before); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_before{};
};

} // namespace quenzil::testsupport
#endif
