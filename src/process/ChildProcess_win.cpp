#include "process/ChildProcess.h"

#include "process/WindowsCommandLine.h"

#include <QDir>
#include <QElapsedTimer>

#include <cerrno>
#include <mutex>
#include <thread>
#include <vector>

#include <windows.h>

// Windows: the child starts suspended inside a Job Object of its own that kills
// everything in it when its last handle closes, then runs. Whatever it starts is in
// the job too (a child cannot break away: the job does not allow it), so ending the
// job ends the tool with its helpers, and this process dying closes the handle and
// ends them all, however it dies. Piped streams are read by a thread each, so a
// child never blocks on a full pipe.

namespace {

int errnoFor(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY: return ENOENT;
    case ERROR_ACCESS_DENIED: return EACCES;
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH: return ENOEXEC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
    }
}

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

// "NAME=value" entries, each ended by a NUL, the block by another.
std::vector<wchar_t> environmentBlock(const QStringList &environment)
{
    std::vector<wchar_t> block;
    for (const QString &entry : environment) {
        const std::wstring text = wide(entry);
        block.insert(block.end(), text.begin(), text.end());
        block.push_back(L'\0');
    }
    if (block.empty())
        block.push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

// A pipe whose write end the child inherits; the read end stays here.
bool makePipe(HANDLE *readEnd, HANDLE *writeEnd)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!::CreatePipe(readEnd, writeEnd, &inherit, 0))
        return false;
    ::SetHandleInformation(*readEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

void closeHandle(HANDLE &handle)
{
    if (handle && handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
    handle = nullptr;
}

// An exception status (access violation, stack overflow...) rather than an exit code.
bool isCrash(DWORD code)
{
    return (code & 0xF0000000u) == 0xC0000000u;
}

constexpr int kForcedSignal = 9; // as SIGKILL: ended here, by force
constexpr int kCrashSignal = 11; // as SIGSEGV: the child crashed

} // namespace

struct ChildProcess::Native
{
    HANDLE process = nullptr;
    HANDLE job = nullptr;
    bool ended = false;
    bool endedHere = false;
    DWORD status = 0;
    int startError = 0;
    std::mutex lock; // guards the two texts while the readers run
    QByteArray output;
    QByteArray errors;
    std::thread outputReader;
    std::thread errorReader;

    ~Native()
    {
        if (process && !ended) {
            ::TerminateJobObject(job, 1);
            endedHere = true;
        }
        finish(INFINITE);
        closeHandle(job); // kills anything left in the job
        closeHandle(process);
    }

    // Reads a pipe to its end (every writer gone) into text, up to the cap.
    void read(HANDLE pipe, QByteArray *text)
    {
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            const std::lock_guard<std::mutex> guard(lock);
            if (text->size() < kMaxStreamBytes)
                text->append(buffer, int(qMin<qint64>(got, kMaxStreamBytes - text->size())));
        }
        ::CloseHandle(pipe);
    }

    // Waits up to ms for the child; once it has ended, the job's other members are
    // ended too and the readers collect what the pipes still held.
    bool finish(DWORD ms)
    {
        if (!process)
            return true;
        if (!ended) {
            if (::WaitForSingleObject(process, ms) != WAIT_OBJECT_0)
                return false;
            ended = true;
            ::GetExitCodeProcess(process, &status);
        }
        if (job)
            ::TerminateJobObject(job, 1); // helpers it left behind
        if (outputReader.joinable())
            outputReader.join();
        if (errorReader.joinable())
            errorReader.join();
        return true;
    }
};

ChildProcess::ChildProcess()
    : native(std::make_unique<Native>())
{ }

ChildProcess::~ChildProcess() = default;

bool ChildProcess::start(const Spec &spec)
{
    Native &child = *native;
    HANDLE nullIn = nullptr, nullOut = nullptr;
    HANDLE outputRead = nullptr, outputWrite = nullptr, errorRead = nullptr, errorWrite = nullptr;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    nullIn
        = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    nullOut
        = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    bool ready = nullIn != INVALID_HANDLE_VALUE && nullOut != INVALID_HANDLE_VALUE
        && (spec.output == Stream::Null || makePipe(&outputRead, &outputWrite))
        && (spec.errors == Stream::Null || makePipe(&errorRead, &errorWrite));

    child.job = ready ? ::CreateJobObjectW(nullptr, nullptr) : nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags
        = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    ready
        = child.job && ::SetInformationJobObject(child.job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    // The child inherits exactly its three streams and the handle passed to it.
    std::vector<HANDLE> inherited{nullIn, outputWrite ? outputWrite : nullOut, errorWrite ? errorWrite : nullOut};
    if (spec.passed != -1)
        inherited.push_back(reinterpret_cast<HANDLE>(spec.passed));
    SIZE_T attributeBytes = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeBytes);
    std::vector<char> attributeStore(attributeBytes);
    auto *attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeStore.data());
    const bool listMade = ready && ::InitializeProcThreadAttributeList(attributes, 1, 0, &attributeBytes);
    ready = listMade
        && ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                       inherited.size() * sizeof(HANDLE), nullptr, nullptr);

    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = inherited[0];
    startup.StartupInfo.hStdOutput = inherited[1];
    startup.StartupInfo.hStdError = inherited[2];
    startup.lpAttributeList = attributes;

    const std::wstring program = wide(QDir::toNativeSeparators(spec.program));
    std::wstring line = wide(WindowsCommandLine::join(
        spec.name.isEmpty() ? QDir::toNativeSeparators(spec.program) : spec.name, spec.arguments));
    std::vector<wchar_t> environment = environmentBlock(spec.environment);
    const std::wstring dir = wide(QDir::toNativeSeparators(spec.workingDir));
    PROCESS_INFORMATION started = {};
    ready = ready
        && ::CreateProcessW(
                program.c_str(), line.data(), nullptr, nullptr, TRUE,
                CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT,
                environment.data(), spec.workingDir.isEmpty() ? nullptr : dir.c_str(), &startup.StartupInfo, &started);
    if (!ready)
        child.startError = errnoFor(::GetLastError());
    if (listMade)
        ::DeleteProcThreadAttributeList(attributes);

    // In the job before it runs a single instruction, so nothing it starts escapes.
    if (ready && !::AssignProcessToJobObject(child.job, started.hProcess)) {
        child.startError = errnoFor(::GetLastError());
        ::TerminateProcess(started.hProcess, 1);
        ::WaitForSingleObject(started.hProcess, INFINITE);
        ready = false;
    }
    if (ready) {
        child.process = started.hProcess;
        ::ResumeThread(started.hThread);
        ::CloseHandle(started.hThread);
    } else if (started.hProcess) {
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
    }
    for (HANDLE *handle : {&nullIn, &nullOut, &outputWrite, &errorWrite})
        closeHandle(*handle);
    if (!ready) {
        closeHandle(outputRead);
        closeHandle(errorRead);
        closeHandle(child.job);
        return false;
    }
    if (outputRead)
        child.outputReader = std::thread([&child, outputRead] { child.read(outputRead, &child.output); });
    if (errorRead)
        child.errorReader = std::thread([&child, errorRead] { child.read(errorRead, &child.errors); });
    return true;
}

int ChildProcess::startError() const
{
    return native->startError;
}

bool ChildProcess::wait(int ms)
{
    return native->finish(DWORD(qMax(0, ms)));
}

quint64 ChildProcess::activity() const
{
    JOBOBJECT_BASIC_AND_IO_ACCOUNTING_INFORMATION info = {};
    if (!native->job
        || !::QueryInformationJobObject(native->job, JobObjectBasicAndIoAccountingInformation, &info, sizeof info,
                                        nullptr))
        return 0;
    return quint64(info.BasicInfo.TotalUserTime.QuadPart) + quint64(info.BasicInfo.TotalKernelTime.QuadPart)
        + info.IoInfo.ReadTransferCount + info.IoInfo.WriteTransferCount;
}

// A console tool has no request to end that reaches it in a job: the grace is the
// time it gets to end by itself, then the job ends with everything in it.
void ChildProcess::end(int graceMs)
{
    Native &child = *native;
    if (!child.process)
        return;
    if (!child.ended && !child.finish(DWORD(qMax(0, graceMs)))) {
        child.endedHere = true;
        ::TerminateJobObject(child.job, 1);
    }
    child.finish(INFINITE);
}

bool ChildProcess::endedHere() const
{
    return native->endedHere;
}

int ChildProcess::exitCode() const
{
    const Native &child = *native;
    return child.ended && !child.endedHere && !isCrash(child.status) ? int(child.status) : -1;
}

int ChildProcess::endSignal() const
{
    const Native &child = *native;
    if (!child.ended)
        return 0;
    if (child.endedHere)
        return kForcedSignal;
    return isCrash(child.status) ? kCrashSignal : 0;
}

bool ChildProcess::statusLost() const
{
    return false;
}

QByteArray ChildProcess::output() const
{
    const std::lock_guard<std::mutex> guard(native->lock);
    return native->output;
}

QByteArray ChildProcess::errors() const
{
    const std::lock_guard<std::mutex> guard(native->lock);
    return native->errors;
}
