#pragma once

#include <QtGlobal>
#include <csignal>
#include <sys/resource.h>

// While it exists, no file this process writes may grow past `room` bytes,
// as on a full disk: a write beyond it fails ("File too large") instead of
// raising SIGXFSZ. Every writer is tested this way without a real full
// file system, which a test could not mount everywhere.
class FullDisk {
public:
    explicit FullDisk(qint64 room)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = rlim_t(room);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};
