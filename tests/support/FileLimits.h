#pragma once

#include <QDir>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <iterator>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// While it lives, this process cannot write a file past `bytes`: a write that
// would go further fails with EFBIG instead of raising SIGXFSZ, as under
// `ulimit -f` with the signal ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // For a child process: the same limit, set between fork and exec.
    static void InChild(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

// For a child process, between fork and exec: the file system refuses to make
// files without a name (open with O_TMPFILE fails with EOPNOTSUPP), as NFS or an
// old kernel does, so that saves fall back on named temporaries.
inline void NoUnnamedFilesInChild()
{
    static const sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])), // the flags' low word
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, 020000000, 0, 1), // __O_TMPFILE
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog filter{static_cast<unsigned short>(std::size(program)), const_cast<sock_filter*>(program)};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0)
        ::_exit(126);
}

// The hidden files in `folder`: what a failed save would have left behind.
inline QStringList HiddenFiles(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).filter(QRegularExpression("^\\."));
}
