#include "Confinement.h"

#include <cerrno>
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <vector>

namespace Confinement {

namespace {

#if defined(__x86_64__)
constexpr unsigned kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kArch = AUDIT_ARCH_AARCH64;
#else
constexpr unsigned kArch = 0;
#endif

// Reading the open file and the memory LibRaw allocates, handing the result back,
// its OpenMP threads, and what abort() and the sanitizers' reports need.
const std::vector<long> &allowed()
{
    static const std::vector<long> calls{
        SYS_read, SYS_pread64, SYS_readv, SYS_lseek, SYS_fstat, SYS_newfstatat,
        SYS_write, SYS_writev, SYS_close, SYS_fcntl, SYS_sendmsg, SYS_ftruncate, SYS_fallocate,
        SYS_mmap, SYS_munmap, SYS_mremap, SYS_mprotect, SYS_brk, SYS_madvise,
        SYS_futex, SYS_set_robust_list, SYS_rseq, SYS_sched_yield, SYS_sched_getaffinity,
        SYS_rt_sigaction, SYS_rt_sigprocmask, SYS_rt_sigreturn, SYS_sigaltstack,
        SYS_getpid, SYS_gettid, SYS_tgkill, SYS_exit, SYS_exit_group, SYS_restart_syscall,
        SYS_clock_gettime, SYS_clock_nanosleep, SYS_nanosleep, SYS_gettimeofday,
        SYS_getrandom, SYS_prlimit64,
    };
    return calls;
}

sock_filter statement(unsigned short code, unsigned value)
{
    return sock_filter{code, 0, 0, value};
}

sock_filter jump(unsigned short code, unsigned value, unsigned char ifTrue, unsigned char ifFalse)
{
    return sock_filter{code, ifTrue, ifFalse, value};
}

} // namespace

bool confine()
{
    if (kArch == 0)
        return true;
    const unsigned deny = SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA);
    std::vector<sock_filter> program{
        statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        jump(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
        statement(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    };
    for (const long call : allowed()) {
        program.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, unsigned(call), 0, 1));
        program.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    }
    // glibc falls back to clone() when clone3() is missing; clone() shows its flags,
    // and only threads are allowed.
    program.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, SYS_clone3, 0, 1));
    program.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA)));
    program.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, SYS_clone, 0, 3));
    program.push_back(statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])));
    program.push_back(jump(BPF_JMP | BPF_JSET | BPF_K, CLONE_THREAD, 0, 1));
    program.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    program.push_back(statement(BPF_RET | BPF_K, deny));

    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
        && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) == 0;
}

} // namespace Confinement
