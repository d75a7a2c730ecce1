#include "confinement/Confinement.h"

#include <QLoggingCategory>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcConfinement, "quorvane.confinement", QtInfoMsg)

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
// its OpenMP threads, and what abort() and the sanitizers' reports need. Calls
// that could reach another process (tgkill, prlimit64) or change how a held
// descriptor behaves (fcntl) are checked with their arguments below.
const std::vector<long> &allowed()
{
    static const std::vector<long> calls{
        SYS_read, SYS_pread64, SYS_readv, SYS_lseek, SYS_fstat, SYS_newfstatat,
        SYS_write, SYS_writev, SYS_close, SYS_sendmsg, SYS_ftruncate, SYS_fallocate,
        SYS_mmap, SYS_munmap, SYS_mremap, SYS_mprotect, SYS_brk, SYS_madvise,
        SYS_futex, SYS_set_robust_list, SYS_rseq, SYS_sched_yield, SYS_sched_getaffinity,
        SYS_rt_sigaction, SYS_rt_sigprocmask, SYS_rt_sigreturn, SYS_sigaltstack,
        SYS_getpid, SYS_gettid, SYS_exit, SYS_exit_group, SYS_restart_syscall,
        SYS_clock_gettime, SYS_clock_nanosleep, SYS_nanosleep, SYS_gettimeofday,
        SYS_getrandom,
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizers test whether memory is readable by writing it into a pipe
        // (the undefined-behaviour checks do so for every virtual call's object).
        SYS_pipe2,
#if defined(SYS_pipe)
        SYS_pipe,
#endif
#endif
    };
    return calls;
}

// The fcntl commands the decoders use: sealing the memory they hand back, and
// looking at a descriptor's flags. Not F_SETOWN, F_SETSIG or F_SETFL (O_ASYNC):
// with those the kernel would signal whichever process the decoder names.
const std::vector<unsigned> &allowedFcntl()
{
    static const std::vector<unsigned> commands{F_GETFD, F_GETFL, F_ADD_SEALS, F_GET_SEALS};
    return commands;
}

sock_filter statement(unsigned short code, unsigned value)
{
    return sock_filter{code, 0, 0, value};
}

sock_filter jump(unsigned short code, unsigned value, unsigned char ifTrue, unsigned char ifFalse)
{
    return sock_filter{code, ifTrue, ifFalse, value};
}

// The low 32 bits of a call's argument: what the kernel reads of a pid_t or an
// unsigned int command.
unsigned argument(int index)
{
    return unsigned(offsetof(seccomp_data, args) + sizeof(std::uint64_t) * unsigned(index));
}

class Program
{
public:
    void load(unsigned offset) { code.push_back(statement(BPF_LD | BPF_W | BPF_ABS, offset)); }
    void allowIf(unsigned value) // falls through when the loaded word is not value
    {
        code.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, value, 0, 1));
        code.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    }
    void refuse(unsigned error) { code.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (error & SECCOMP_RET_DATA))); }
    // Runs body (which must end in a return) only for system call nr.
    template <typename Body>
    void forCall(long nr, Body body)
    {
        load(offsetof(seccomp_data, nr));
        const std::size_t test = code.size();
        code.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, unsigned(nr), 0, 0));
        body();
        code[test].jf = static_cast<unsigned char>(code.size() - test - 1);
    }

    std::vector<sock_filter> code;
};

std::vector<sock_filter> filterProgram(pid_t self)
{
    Program p;
    p.load(offsetof(seccomp_data, arch));
    p.code.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0));
    p.code.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
    p.load(offsetof(seccomp_data, nr));
    for (const long call : allowed())
        p.allowIf(unsigned(call));
    // Signals and limits: this process only (prlimit64's 0 is "myself").
    p.forCall(SYS_tgkill, [&] {
        p.load(argument(0));
        p.allowIf(unsigned(self));
        p.refuse(EPERM);
    });
    p.forCall(SYS_prlimit64, [&] {
        p.load(argument(0));
        p.allowIf(0);
        p.allowIf(unsigned(self));
        p.refuse(EPERM);
    });
    p.forCall(SYS_fcntl, [&] {
        p.load(argument(1));
        for (const unsigned command : allowedFcntl())
            p.allowIf(command);
        p.refuse(EPERM);
    });
    // glibc falls back to clone() when clone3() is missing; clone() shows its
    // flags, and only threads are allowed.
    p.forCall(SYS_clone3, [&] { p.refuse(ENOSYS); });
    p.forCall(SYS_clone, [&] {
        p.load(argument(0));
        p.code.push_back(jump(BPF_JMP | BPF_JSET | BPF_K, CLONE_THREAD, 0, 1));
        p.code.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        p.refuse(EPERM);
    });
    // Calls outside the list fail rather than kill: a library's harmless probe (a
    // file it would like to read) degrades, not crashes.
    p.refuse(EPERM);
    return p.code;
}

// Landlock, as far as the running kernel has it. Debian 12's headers know only
// the first version, so the attribute and the rights are spelled out here.
struct RulesetAttr
{
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0; // version 4
    std::uint64_t scoped = 0; // version 6
};

constexpr unsigned kCreateRulesetVersion = 1u << 0;

std::uint64_t fileRights(int abi)
{
    // Execute ... make symbolic link (1), refer (2), truncate (3), device ioctl (5).
    const int bits = abi >= 5 ? 16 : abi >= 3 ? 15 : abi >= 2 ? 14 : 13;
    return (std::uint64_t(1) << bits) - 1;
}

int landlockAbi()
{
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, kCreateRulesetVersion);
    return abi > 0 ? int(abi) : 0;
}

// No file opened by path, no TCP, no signal to a process outside this one and no
// abstract socket, as far as the kernel can; the rest is the filter's work.
void addLandlock(int abi)
{
    if (abi <= 0)
        return;
    RulesetAttr attr;
    attr.handledAccessFs = fileRights(abi);
    std::size_t size = sizeof attr.handledAccessFs;
    if (abi >= 4) {
        attr.handledAccessNet = 0x3; // bind and connect TCP
        size += sizeof attr.handledAccessNet;
    }
    if (abi >= 6) {
        attr.scoped = 0x3; // abstract unix sockets, signals
        size += sizeof attr.scoped;
    }
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attr, size, 0));
    if (ruleset < 0) {
        qCDebug(lcConfinement) << "no Landlock ruleset:" << qt_error_string(errno);
        return;
    }
    if (::syscall(SYS_landlock_restrict_self, ruleset, 0) != 0)
        qCDebug(lcConfinement) << "Landlock refused:" << qt_error_string(errno);
    ::close(ruleset);
}

} // namespace

void setLimits(const Limits &limits)
{
    const auto set = [](int resource, rlim_t value) {
        const rlimit limit{value, value};
        ::setrlimit(resource, &limit);
    };
    set(RLIMIT_CORE, 0);
    set(RLIMIT_CPU, limits.cpuSeconds);
#if !defined(__SANITIZE_ADDRESS__)
    set(RLIMIT_AS, limits.addressSpace);
#endif
    if (limits.fileSize > 0)
        set(RLIMIT_FSIZE, limits.fileSize);
    set(RLIMIT_NOFILE, limits.descriptors);
}

QStringList missingLayers(int landlockAbi)
{
    QStringList missing;
    if (landlockAbi < 1)
        missing << QStringLiteral("Landlock file access");
    if (landlockAbi < 4)
        missing << QStringLiteral("Landlock network");
    if (landlockAbi < 6)
        missing << QStringLiteral("Landlock signal and socket scope");
    return missing;
}

bool confine()
{
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    const int abi = landlockAbi();
    const QStringList missing = missingLayers(abi);
    if (!missing.isEmpty())
        qCDebug(lcConfinement) << "Landlock version" << abi << "lacks:" << missing.join(QStringLiteral(", "));
    addLandlock(abi);
    if (kArch == 0) {
        qCDebug(lcConfinement) << "no system-call filter for this architecture";
        return true;
    }
    std::vector<sock_filter> program = filterProgram(::getpid());
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) == 0;
}

} // namespace Confinement
