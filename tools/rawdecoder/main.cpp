// RawDecoder --parent PID [--preview] -- RAW_FILE
//
// The viewer's RAW decoder, a process of its own so that a fault in LibRaw's
// parsers ends this process, not the viewer. It reads one file and hands back its
// size, its embedded preview and its developed picture as rawdecode/RawChannel.h
// describes. It opens and maps the file, then confines itself (confinement/
// Confinement.h), and only then lets LibRaw parse it.

#include "confinement/Confinement.h"
#include "rawdecode/RawChannel.h"
#include "rawdecode/RawDecode.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using RawChannel::Kind;
using RawChannel::Reply;

// The largest memory it hands back: a 256 MP picture of 4 bytes a pixel.
constexpr rlim_t kLargestReply = rlim_t(RawDecode::kMaxPixels) * 4;

struct Request
{
    long parent = 0;
    bool preview = false;
    const char *path = nullptr;
};

bool parse(int argc, char **argv, Request &request)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--parent" && i + 1 < argc) {
            request.parent = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--preview") {
            request.preview = true;
        } else if (arg == "--" && i + 2 == argc) {
            request.path = argv[i + 1];
            return request.parent > 0;
        } else {
            return false;
        }
    }
    return false;
}

// Sends a reply with its text, and the memfd holding its bytes when there is one.
void send(Reply reply, const std::string &text = {}, int memory = -1)
{
    std::strncpy(reply.text, text.c_str(), sizeof reply.text - 1);
    RawChannel::sendReply(reply, memory);
}

Reply failure(Kind kind, RawDecode::Failure failure)
{
    Reply reply;
    reply.kind = kind;
    reply.failure = std::int32_t(failure);
    return reply;
}

// Memory of that many bytes to hand back, mapped here; its pages are allocated in
// one go rather than one fault at a time.
std::uint8_t *sharedMemory(int fd, std::uint64_t bytes)
{
    if (bytes == 0 || ::ftruncate(fd, off_t(bytes)) != 0)
        return nullptr;
    ::fallocate(fd, 0, 0, off_t(bytes)); // best effort: the mapping works without it
    void *memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
    return memory == MAP_FAILED ? nullptr : static_cast<std::uint8_t *>(memory);
}

// Done writing: the viewer maps only memory that can no longer shrink or change.
bool seal(int fd, std::uint8_t *memory, std::uint64_t bytes)
{
    return ::munmap(memory, bytes) == 0
        && ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
}

// Packed 8-bit RGB or grey pixels at the start of each row, widened to RGB32
// (0xffRRGGBB) from the right: no pixel is overwritten before it is read.
void widenInPlace(std::uint8_t *rows, int width, int height, int stride, int colours)
{
    for (int y = 0; y < height; ++y) {
        std::uint8_t *row = rows + std::size_t(y) * std::size_t(stride);
        auto *out = reinterpret_cast<std::uint32_t *>(row);
        for (int x = width - 1; x >= 0; --x) {
            const std::uint8_t *in = row + std::size_t(x) * std::size_t(colours);
            const std::uint32_t r = in[0], g = colours == 3 ? in[1] : in[0], b = colours == 3 ? in[2] : in[0];
            out[x] = 0xff000000u | r << 16 | g << 8 | b;
        }
    }
}

void sendPreview(RawDecode::RawFile &raw, int memory)
{
    RawDecode::Preview preview;
    const RawDecode::Failure failed = raw.preview(preview);
    if (failed != RawDecode::Failure::None) {
        send(failure(Kind::Preview, failed), raw.error());
        return;
    }
    std::uint8_t *bytes = sharedMemory(memory, preview.jpeg.size());
    if (!bytes) {
        send(failure(Kind::Preview, RawDecode::Failure::NoMemory), "no memory for the preview");
        return;
    }
    std::copy(preview.jpeg.begin(), preview.jpeg.end(), bytes);
    if (!seal(memory, bytes, preview.jpeg.size())) {
        send(failure(Kind::Preview, RawDecode::Failure::NoMemory), "cannot seal the preview");
        return;
    }
    Reply reply;
    reply.kind = Kind::Preview;
    reply.width = preview.width;
    reply.height = preview.height;
    reply.quarterTurns = preview.quarterTurns;
    reply.mirrored = preview.mirrored;
    reply.bytes = preview.jpeg.size();
    send(reply, {}, memory);
}

void sendPicture(RawDecode::RawFile &raw, int memory)
{
    Reply reply;
    reply.kind = Kind::Picture;
    std::uint8_t *rows = nullptr;
    int colours = 0;
    const RawDecode::Failure failed
        = raw.developInto([&](int width, int height, int channels, int *stride) -> std::uint8_t * {
              reply.width = width;
              reply.height = height;
              reply.stride = width * 4;
              reply.bytes = std::uint64_t(reply.stride) * std::uint64_t(height);
              colours = channels;
              *stride = reply.stride;
              rows = sharedMemory(memory, reply.bytes);
              return rows;
          });
    if (failed != RawDecode::Failure::None) {
        send(failure(Kind::Failed, failed), raw.error());
        return;
    }
    widenInPlace(rows, reply.width, reply.height, reply.stride, colours);
    if (!seal(memory, rows, reply.bytes)) {
        send(failure(Kind::Failed, RawDecode::Failure::NoMemory), "cannot seal the picture");
        return;
    }
    send(reply, {}, memory);
}

} // namespace

int main(int argc, char **argv)
{
    Request request;
    if (!parse(argc, argv, request))
        return 2;
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != pid_t(request.parent))
        return 2;

    // Everything this process will ever hold is opened first; LibRaw sees the file
    // only once the process can open nothing more.
    const int previewMemory = ::memfd_create("quorvane-preview", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    const int pictureMemory = ::memfd_create("quorvane-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (previewMemory < 0 || pictureMemory < 0)
        return 2;
    RawDecode::MappedFile file;
    const RawDecode::Failure readable = file.open(request.path);

    Confinement::Limits limits;
    limits.fileSize = kLargestReply;
    Confinement::setLimits(limits);
    if (!Confinement::confine()) {
        send(failure(Kind::Opened, RawDecode::Failure::Unreadable), "the decoder cannot confine itself");
        ::_exit(1);
    }

    RawDecode::RawFile raw;
    const RawDecode::Failure opened = readable != RawDecode::Failure::None ? readable : raw.open(file);
    Reply header = failure(Kind::Opened, opened);
    if (opened == RawDecode::Failure::None) {
        header.width = raw.width();
        header.height = raw.height();
        header.metadata = raw.metadata();
    }
    send(header, readable != RawDecode::Failure::None ? file.error() : raw.error());
    if (opened != RawDecode::Failure::None)
        ::_exit(0);

    if (request.preview)
        sendPreview(raw, previewMemory);
    // The viewer's word on developing; a closed channel means it needs nothing more.
    RawChannel::Command command;
    ssize_t got;
    while ((got = ::read(RawChannel::kChannelFd, &command, sizeof command)) < 0 && errno == EINTR) { }
    if (got == ssize_t(sizeof command) && command.magic == RawChannel::kMagic
        && command.develop != RawChannel::Develop::None) {
        raw.setHalfSize(command.develop == RawChannel::Develop::Half);
        sendPicture(raw, pictureMemory);
    }
    // Nothing left to tidy: the viewer holds the memory now.
    ::_exit(0);
}
