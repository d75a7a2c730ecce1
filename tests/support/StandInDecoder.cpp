#include "support/StandInDecoder.h"

#include "rawdecode/RawChannel.h"
#include "rawdecode/RawDecode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace StandInDecoder {

namespace {

using RawChannel::Kind;
using RawChannel::Reply;

// Sealed memory of bytes bytes, grey where it is written (the first rows at most).
int sealedMemory(std::uint64_t bytes)
{
    const int fd = ::memfd_create("stand-in", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0 || ::ftruncate(fd, off_t(bytes)) != 0)
        return -1;
    const std::string grey(std::size_t(std::min<std::uint64_t>(bytes, 1 << 20)), '\x80');
    if (::pwrite(fd, grey.data(), grey.size(), 0) != ssize_t(grey.size()))
        return -1;
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
        return -1;
    return fd;
}

} // namespace

bool invoked(int argc, char **argv)
{
    return argc >= 2 && std::strcmp(argv[1], "--parent") == 0;
}

int main(int argc, char **argv)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    bool preview = false;
    for (int i = 1; i < argc; ++i)
        preview = preview || std::strcmp(argv[i], "--preview") == 0;
    std::ifstream file(argv[argc - 1]);
    std::string behaviour;
    std::getline(file, behaviour);
    if (behaviour == "hang") {
        for (;;)
            ::pause();
    }

    constexpr int kWidth = 64, kHeight = 48;
    Reply opened;
    opened.kind = Kind::Opened;
    opened.width = behaviour == "impossible size" ? INT_MAX : kWidth;
    opened.height = kHeight;
    std::strncpy(opened.metadata.make, "Stand-in", sizeof opened.metadata.make - 1);
    std::strncpy(opened.metadata.model, "Decoder", sizeof opened.metadata.model - 1);
    RawChannel::sendReply(opened);
    if (preview) {
        Reply none;
        none.kind = Kind::Preview;
        none.failure = std::int32_t(RawDecode::Failure::Corrupt); // no preview to hand
        RawChannel::sendReply(none);
    }
    RawChannel::Command command;
    ssize_t got;
    while ((got = ::read(RawChannel::kChannelFd, &command, sizeof command)) < 0 && errno == EINTR) { }
    if (got != ssize_t(sizeof command) || command.develop == RawChannel::Develop::None)
        return 0;

    Reply picture;
    picture.kind = Kind::Picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.stride = kWidth * 4;
    std::uint64_t held = std::uint64_t(picture.stride) * kHeight;
    if (behaviour == "short buffer") {
        held -= std::uint64_t(picture.stride);
    } else if (behaviour == "long buffer") {
        held += std::uint64_t(picture.stride);
    } else if (behaviour == "zero stride") {
        picture.stride = 0;
    } else if (behaviour == "negative stride") {
        picture.stride = -kWidth * 4;
    } else if (behaviour == "past the limit") {
        picture.width = 20000;
        picture.height = 20000;
        picture.stride = 20000 * 4;
        held = std::uint64_t(picture.stride) * 20000;
    }
    picture.bytes = held;
    RawChannel::sendReply(picture, sealedMemory(held));
    return 0;
}

// Beside the test programs: the same file system (a hard link, not a copy of a large
// program) and one that may run programs, which /tmp need not be.
AppFolder::AppFolder()
    : dir(QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../stand-in-app-XXXXXX")))
{
    const QString app = dir.filePath(QStringLiteral("app"));
    const QString decoders = app + QStringLiteral("/decoder/ConverterToJpg");
    if (!dir.isValid() || !QDir().mkpath(decoders))
        return;
    const QString self = QCoreApplication::applicationFilePath();
    const QString copy = app + QLatin1Char('/') + QFileInfo(self).fileName();
    if (::link(QFile::encodeName(self).constData(), QFile::encodeName(copy).constData()) != 0
        && !QFile::copy(self, copy))
        return;
    valid = QFile::link(copy, decoders + QStringLiteral("/RawDecoder"));
}

bool AppFolder::isValid() const
{
    return valid;
}

QString AppFolder::program() const
{
    return dir.filePath(QStringLiteral("app/")) + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

bool AppFolder::run(QProcess &child, const QStringList &args, int timeoutMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(program(), args);
    if (child.waitForFinished(timeoutMs))
        return true;
    child.kill();
    child.waitForFinished();
    return false;
}

} // namespace StandInDecoder
