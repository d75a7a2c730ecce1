#include "RawClient.h"

#include "process/ChildProcess.h"
#include "process/ToolLocator.h"
#include "rawdecode/RawChannel.h"
#include "rawdecode/RawDecode.h"
#include "ViewerLog.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RawClient {

namespace {

using RawChannel::Kind;
using RawChannel::Reply;

// How often a waiting load looks at its cancel flag.
constexpr int kPollMs = 10;
// How long a decoder whose channel went quiet or wrong gets to end on its own.
constexpr int kReapGraceMs = 1000;

LoadFailure fromRaw(RawDecode::Failure failure)
{
    switch (failure) {
    case RawDecode::Failure::None: return LoadFailure::None;
    case RawDecode::Failure::Missing: return LoadFailure::NotFound;
    case RawDecode::Failure::NotAFile: return LoadFailure::NotAFile;
    case RawDecode::Failure::Empty: return LoadFailure::Empty;
    case RawDecode::Failure::Unreadable: return LoadFailure::Unreadable;
    case RawDecode::Failure::NotRaw: return LoadFailure::NotImage;
    case RawDecode::Failure::Corrupt: return LoadFailure::Corrupt;
    case RawDecode::Failure::TooLarge:
    case RawDecode::Failure::NoMemory: return LoadFailure::TooLarge;
    case RawDecode::Failure::Cancelled: return LoadFailure::Cancelled;
    }
    return LoadFailure::Corrupt;
}

// The viewer's environment, and glibc told to let LibRaw's large working buffers
// (hundreds of MB for a 24 MP develop) have huge pages: a fresh process would
// otherwise fault them in 4 KB at a time, the better part of what the separate
// process costs. A tunable the user set is left as it is.
QStringList environment()
{
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    if (!variables.contains(QStringLiteral("GLIBC_TUNABLES")))
        variables.insert(QStringLiteral("GLIBC_TUNABLES"), QStringLiteral("glibc.malloc.hugetlb=1"));
    return variables.toStringList();
}

// A started decoder: killed with its group and reaped when this goes, whatever
// state it is in.
class Child
{
public:
    Child() = default;
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child()
    {
        if (channel >= 0)
            ::close(channel);
    }

    bool start(const Request &request)
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
            return false;
        channel = fds[0];
        // Its own process group, dying with this thread, the null device for the
        // standard streams, and only the channel beside them.
        ChildProcess::Spec spec;
        spec.program = ToolLocator::program(ToolLocator::Tool::RawDecoder);
        spec.arguments = QStringList{QStringLiteral("--parent"), QString::number(QCoreApplication::applicationPid())};
        if (request.preview)
            spec.arguments << QStringLiteral("--preview");
        spec.arguments << QStringLiteral("--") << request.path;
        spec.environment = environment();
        spec.passed = fds[1]; // RawChannel::kChannelFd in the decoder
        spec.tree = ChildProcess::Tree::Alone;
        const bool started = process.start(spec);
        ::close(fds[1]);
        if (!started)
            qCDebug(lcViewer) << "cannot start" << spec.program << std::strerror(process.startError());
        return started;
    }

    bool tell(Develop develop)
    {
        const RawChannel::Command command{RawChannel::kMagic, develop};
        ssize_t sent;
        while ((sent = ::send(channel, &command, sizeof command, MSG_NOSIGNAL)) < 0 && errno == EINTR) { }
        return sent == ssize_t(sizeof command);
    }

    enum class Wait { Reply, Ended, Cancelled };

    // The next reply, with its memory (or -1); Ended when the child closed the
    // channel or sent something that is not a reply of ours.
    Wait next(Reply &reply, int *memory, const std::function<bool()> &cancelled)
    {
        *memory = -1;
        for (;;) {
            if (cancelled && cancelled())
                return Wait::Cancelled;
            pollfd watched{channel, POLLIN, 0};
            const int ready = ::poll(&watched, 1, kPollMs);
            if (ready < 0 && errno != EINTR)
                return Wait::Ended;
            if (ready <= 0)
                continue;
            iovec part{&reply, sizeof reply};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
            msghdr message{};
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t got = ::recvmsg(channel, &message, MSG_CMSG_CLOEXEC);
            if (got < 0 && errno == EINTR)
                continue;
            for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS
                    && header->cmsg_len == CMSG_LEN(sizeof(int)))
                    std::memcpy(memory, CMSG_DATA(header), sizeof(int));
            }
            if (got != ssize_t(sizeof reply) || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC))
                || reply.magic != RawChannel::kMagic) {
                if (*memory >= 0)
                    ::close(*memory);
                *memory = -1;
                return Wait::Ended;
            }
            reply.text[sizeof reply.text - 1] = '\0';
            return Wait::Reply;
        }
    }

    // How the child ended, once it has: a signal it was not sent by us (a crash,
    // an abort, the kernel out of memory) or an exit status.
    QString ending()
    {
        reap();
        if (process.endSignal() != 0)
            return QStringLiteral("the decoder ended by signal %1").arg(process.endSignal());
        return QStringLiteral("the decoder exited with status %1").arg(process.exitCode());
    }

    bool killedByKernel()
    {
        reap();
        return !process.endedHere() && process.endSignal() == SIGKILL;
    }

private:
    // A child that sent something other than a reply may still be waiting for a
    // command: past the grace it is ended, so the loader never waits for ever.
    void reap()
    {
        if (!process.wait(kReapGraceMs))
            process.end(0);
    }

    int channel = -1;
    ChildProcess process;
};

// The bytes of a sealed memfd the child handed over, mapped read-only. The seals
// keep the child from shrinking it under us (a read past its end would be SIGBUS)
// or writing to it afterwards.
const uchar *mapSealed(int memory, quint64 bytes)
{
    struct stat info;
    const int seals = ::fcntl(memory, F_GET_SEALS);
    const int needed = F_SEAL_SHRINK | F_SEAL_WRITE;
    if (bytes == 0 || seals < 0 || (seals & needed) != needed || ::fstat(memory, &info) != 0
        || quint64(info.st_size) < bytes)
        return nullptr;
    void *mapped = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED | MAP_POPULATE, memory, 0);
    return mapped == MAP_FAILED ? nullptr : static_cast<const uchar *>(mapped);
}

struct Mapping
{
    void *address;
    size_t length;
};

void unmap(void *info)
{
    std::unique_ptr<Mapping> mapping(static_cast<Mapping *>(info));
    ::munmap(mapping->address, mapping->length);
}

// A size the decoder tells: both sides positive, within the picture bound.
bool plausible(std::int32_t width, std::int32_t height)
{
    return width > 0 && height > 0 && RawDecode::withinBound(quint64(width), quint64(height));
}

} // namespace

bool pictureReplyValid(const Reply &reply)
{
    // Rows of at least a pixel's four bytes each, exactly as many bytes as the rows
    // take, and no more than the largest picture allowed: nothing else is mapped.
    const quint64 rowBytes = quint64(qMax(reply.width, 0)) * 4;
    return plausible(reply.width, reply.height) && reply.stride > 0 && quint64(reply.stride) >= rowBytes
        && reply.bytes == quint64(reply.stride) * quint64(reply.height) && reply.bytes <= kMaxPictureBytes;
}

namespace {

// The developed picture as an RGB32 QImage over the child's memory, no copy.
QImage pictureOf(const Reply &reply, int memory)
{
    if (!pictureReplyValid(reply))
        return QImage();
    const uchar *pixels = mapSealed(memory, reply.bytes);
    if (!pixels)
        return QImage();
    auto *mapping = new Mapping{const_cast<uchar *>(pixels), size_t(reply.bytes)};
    QImage image(pixels, reply.width, reply.height, reply.stride, QImage::Format_RGB32, unmap, mapping);
    if (image.isNull())
        unmap(mapping);
    return image;
}

void hand(const Reply &reply, int memory, const Result &result, const std::function<void(const Preview &)> &onPreview)
{
    if (!onPreview || reply.failure != int(RawDecode::Failure::None) || reply.bytes > quint64(64) * 1024 * 1024)
        return;
    const uchar *bytes = mapSealed(memory, reply.bytes);
    if (!bytes)
        return;
    Preview preview;
    preview.jpeg = QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), int(reply.bytes));
    preview.size = QSize(reply.width, reply.height);
    preview.quarterTurns = reply.quarterTurns & 3;
    preview.mirrored = reply.mirrored != 0;
    preview.fullSize = result.fullSize;
    onPreview(preview);
    ::munmap(const_cast<uchar *>(bytes), reply.bytes);
}

bool fitsBudget(const QSize &size, qint64 maxBytes)
{
    return maxBytes < 0 || qint64(size.width()) * size.height() * 4 <= maxBytes;
}

// LibRaw's half-size develop takes every other row and column.
QSize developedSize(const QSize &full, Develop develop)
{
    return develop == Develop::Half ? QSize((full.width() + 1) / 2, (full.height() + 1) / 2) : full;
}

} // namespace

Result decode(const Request &request, const std::function<bool()> &cancelled,
              const std::function<void(const Preview &)> &onPreview)
{
    Result result;
    Child child;
    if (!child.start(request)) {
        result.failure = LoadFailure::Unreadable;
        result.error = QStringLiteral("the RAW decoder cannot be started");
        return result;
    }
    bool opened = false;
    bool previewDone = !request.preview;
    bool told = false;
    for (;;) {
        Reply reply;
        int memory = -1;
        const Child::Wait wait = child.next(reply, &memory, cancelled);
        if (wait == Child::Wait::Cancelled) {
            result.failure = LoadFailure::Cancelled;
            return result;
        }
        if (wait == Child::Wait::Ended) {
            // A crash or an abort inside LibRaw; SIGKILL from outside is most
            // likely the kernel out of memory.
            result.failure = child.killedByKernel() ? LoadFailure::TooLarge : LoadFailure::Corrupt;
            result.error = child.ending();
            return result;
        }
        const auto failure = RawDecode::Failure(reply.failure);
        const QString text = QString::fromUtf8(reply.text);
        switch (reply.kind) {
        case Kind::Opened:
            opened = true;
            if (failure != RawDecode::Failure::None) {
                if (memory >= 0)
                    ::close(memory);
                result.notRaw = failure == RawDecode::Failure::NotRaw;
                result.failure = fromRaw(failure);
                result.error = text;
                return result;
            }
            if (!plausible(reply.width, reply.height)) {
                if (memory >= 0)
                    ::close(memory);
                result.failure = LoadFailure::Corrupt;
                result.error = QStringLiteral("the decoder told an impossible size");
                return result;
            }
            result.fullSize = QSize(reply.width, reply.height);
            result.metadata = reply.metadata;
            result.metadata.terminate();
            break;
        case Kind::Preview:
            if (opened)
                hand(reply, memory, result, onPreview);
            previewDone = true;
            break;
        case Kind::Picture:
            result.picture = opened ? pictureOf(reply, memory) : QImage();
            if (result.picture.isNull()) {
                result.failure = LoadFailure::Corrupt;
                result.error = QStringLiteral("the decoder handed back no usable picture");
            }
            break;
        case Kind::Failed:
            result.failure = failure == RawDecode::Failure::None ? LoadFailure::Corrupt : fromRaw(failure);
            result.error = text;
            break;
        }
        if (memory >= 0)
            ::close(memory);
        if (reply.kind == Kind::Picture || reply.kind == Kind::Failed)
            return result;
        if (opened && previewDone && !told) {
            const Develop develop = request.develop ? request.develop(result.fullSize) : Develop::Full;
            if (develop == Develop::None)
                return result;
            if (!fitsBudget(developedSize(result.fullSize, develop), request.maxBytes)) {
                result.failure = LoadFailure::TooLarge;
                return result;
            }
            told = true;
            if (!child.tell(develop)) {
                result.failure = LoadFailure::Corrupt;
                result.error = child.ending();
                return result;
            }
        }
    }
}

} // namespace RawClient
