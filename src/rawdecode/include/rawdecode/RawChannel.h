#pragma once

#include "rawdecode/RawDecode.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/socket.h>

// What the viewer and its RAW decoder process (tools/rawdecoder) say to each other.
// The viewer starts the decoder with a request on its command line:
//
//   RawDecoder --parent PID [--preview] -- RAW_FILE
//
// and reads replies on fd kChannelFd, a SOCK_SEQPACKET socket: one Reply per
// message, with a memfd holding the reply's bytes when it has any (passed as
// SCM_RIGHTS). Pictures never cross the socket, only their memory. After the
// header (and the preview, when asked) the decoder waits for one Command: the
// viewer decides how to develop once it knows the size and has seen the preview.
namespace RawChannel {

constexpr int kChannelFd = 3;
constexpr std::uint32_t kMagic = 0x51524431; // "QRD1": both sides from one build

enum class Kind : std::uint32_t {
    Opened, // the header was read: width and height upright, or failure
    Preview, // the embedded JPEG (bytes in the memfd), or failure when it has none
    Picture, // the developed picture: width x height RGB32 rows of stride bytes
    Failed, // develop failed: failure and text
};

enum class Develop : std::uint32_t {
    None,
    Half, // half the size each way, no demosaicing
    Full,
};

struct Command
{
    std::uint32_t magic = kMagic;
    Develop develop = Develop::None;
};

struct Reply
{
    std::uint32_t magic = kMagic;
    Kind kind = Kind::Failed;
    std::int32_t failure = 0; // RawDecode::Failure
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0; // Picture: bytes per row
    std::int32_t quarterTurns = 0; // Preview: clockwise turns that stand it upright
    std::int32_t mirrored = 0; // Preview: then mirrored left to right
    std::uint64_t bytes = 0; // bytes in the memfd
    char text[240] = {}; // the failure in our words, NUL-terminated
    RawDecode::Metadata metadata; // Opened: what the header says of the shot
};

// Sends one reply on the channel, with the memfd holding its bytes when memory is one.
inline void sendReply(Reply reply, int memory = -1)
{
    iovec part{&reply, sizeof reply};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (memory >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &memory, sizeof memory);
    }
    while (::sendmsg(kChannelFd, &message, MSG_NOSIGNAL) < 0 && errno == EINTR) { }
}

} // namespace RawChannel
