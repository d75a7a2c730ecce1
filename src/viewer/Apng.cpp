#include "Apng.h"

#include "formats/ByteOrder.h"

#include <QPainter>
#include <QtEndian>

#include <libdeflate.h>

#include <climits>

namespace Apng {

namespace {

const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);

struct Chunk
{
    QByteArray type;
    QByteArray data;
};

QByteArray chunkBytes(const QByteArray &type, const QByteArray &data)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    const QByteArray body = type + data;
    out += body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(quint32(libdeflate_crc32(0, body.constData(), size_t(body.size()))), crc.data());
    return out + crc;
}

// Walks the chunks in order without holding them all: a file of a million frames
// has two million.
class ChunkReader
{
public:
    explicit ChunkReader(const QByteArray &png)
        : png(png)
        , at(png.startsWith(kSignature) ? kSignature.size() : -1)
    { }

    // The next chunk; false at the end, after IEND, or where the structure breaks.
    bool next(Chunk &chunk)
    {
        if (at < 0 || at + 12 > png.size())
            return false;
        const quint32 length = ByteOrder::bigEndian(png, at);
        if (length > quint32(png.size() - at - 12)) {
            at = -1;
            return false;
        }
        chunk.type = png.mid(at + 4, 4);
        // The file's own bytes, not a copy: it outlives the reader.
        chunk.data = QByteArray::fromRawData(png.constData() + at + 8, int(length));
        at = chunk.type == "IEND" ? -1 : at + 12 + int(length);
        return true;
    }

private:
    const QByteArray &png;
    int at;
};

quint32 be32(const QByteArray &data, int at)
{
    return data.size() >= at + 4 ? ByteOrder::bigEndian(data, at) : 0;
}
quint16 be16(const QByteArray &data, int at)
{
    return data.size() >= at + 2 ? quint16(ByteOrder::bigEndian(data, at, 2)) : 0;
}

struct FrameControl
{
    QRect rect;
    int delayMs = 100;
    int dispose = 0; // 0 none, 1 background, 2 previous
    int blend = 0; // 0 source, 1 over
};

} // namespace

bool isAnimated(const QByteArray &png)
{
    ChunkReader reader(png);
    Chunk chunk;
    while (reader.next(chunk)) {
        if (chunk.type == "acTL")
            return true;
        if (chunk.type == "IDAT")
            return false;
    }
    return false;
}

qint64 frameCost(qint64 canvasPixels)
{
    return canvasPixels * 4 + kFrameOverheadBytes;
}

int framesWithin(qint64 canvasPixels, const Limits &limits)
{
    if (canvasPixels <= 0 || canvasPixels > limits.maxPixels)
        return 0;
    return int(qMin<qint64>(limits.maxFrames, limits.maxBytes / frameCost(canvasPixels)));
}

Animation decode(const QByteArray &png, const Limits &limits, const std::function<bool()> &cancelled)
{
    using Outcome = Animation::Outcome;
    Animation animation;
    ChunkReader reader(png);
    Chunk chunk;
    if (!reader.next(chunk) || chunk.type != "IHDR" || chunk.data.size() < 13)
        return animation;
    const QByteArray header = chunk.data;
    // Sizes and offsets are 32-bit unsigned in the file: all arithmetic in 64 bits.
    const qint64 width = be32(header, 0);
    const qint64 height = be32(header, 4);
    if (width == 0 || height == 0)
        return animation;
    const int held = width <= INT_MAX && height <= INT_MAX ? framesWithin(width * height, limits) : 0;
    if (held == 0) {
        animation.outcome = Outcome::TooLarge;
        return animation;
    }

    QByteArray shared; // chunks every frame's PNG needs (palette, transparency, colour space)
    QImage canvas; // made once the first frame has decoded
    quint32 sequence = 0; // the next fcTL or fdAT
    bool seenData = false;
    FrameControl control;
    bool haveControl = false;
    bool frameInIdat = false; // the current frame's data is the default picture's
    QByteArray data;
    Outcome outcome = Outcome::Ok;

    const auto finishFrame = [&]() -> bool {
        if (!haveControl)
            return true;
        haveControl = false;
        if (data.isEmpty()) {
            outcome = Outcome::Broken;
            return false;
        }
        QByteArray frameHeader = header;
        qToBigEndian<quint32>(quint32(control.rect.width()), frameHeader.data());
        qToBigEndian<quint32>(quint32(control.rect.height()), frameHeader.data() + 4);
        const QByteArray framePng = kSignature + chunkBytes("IHDR", frameHeader) + shared + chunkBytes("IDAT", data)
            + chunkBytes("IEND", QByteArray());
        data.clear();
        const QImage frame = QImage::fromData(framePng, "PNG");
        if (frame.isNull() || frame.size() != control.rect.size()) {
            outcome = Outcome::Broken;
            return false;
        }
        if (canvas.isNull()) {
            canvas = QImage(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
            if (canvas.isNull()) {
                outcome = Outcome::TooLarge;
                return false;
            }
            canvas.fill(Qt::transparent);
        }
        const QImage before = control.dispose == 2 ? canvas.copy(control.rect) : QImage();
        {
            QPainter painter(&canvas);
            painter.setCompositionMode(control.blend == 0 ? QPainter::CompositionMode_Source
                                                          : QPainter::CompositionMode_SourceOver);
            painter.drawImage(control.rect.topLeft(), frame);
        }
        const QImage copy = canvas.copy();
        if (copy.isNull() || (control.dispose == 2 && before.isNull())) {
            outcome = Outcome::TooLarge;
            return false;
        }
        animation.frames.append({copy, control.delayMs});
        QPainter painter(&canvas);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        if (control.dispose == 1)
            painter.fillRect(control.rect, Qt::transparent);
        else if (control.dispose == 2)
            painter.drawImage(control.rect.topLeft(), before);
        return true;
    };
    // fcTL and fdAT chunks count up from 0 together.
    const auto inSequence = [&](const QByteArray &chunkData) {
        if (chunkData.size() < 4 || be32(chunkData, 0) != sequence) {
            outcome = Outcome::Broken;
            return false;
        }
        ++sequence;
        return true;
    };

    while (reader.next(chunk)) {
        if (cancelled && cancelled()) {
            animation.outcome = Outcome::Cancelled;
            return animation;
        }
        if (chunk.type == "acTL") {
            const quint32 plays = be32(chunk.data, 4);
            animation.loopCount = plays == 0 ? -1 : int(qMin<quint32>(plays, 1000000)) - 1;
        } else if (chunk.type == "fcTL") {
            if (chunk.data.size() < 26 || !inSequence(chunk.data) || !finishFrame())
                break;
            if (animation.frames.size() >= held) {
                animation.cut = true;
                break;
            }
            const qint64 frameWidth = be32(chunk.data, 4), frameHeight = be32(chunk.data, 8);
            const qint64 x = be32(chunk.data, 12), y = be32(chunk.data, 16);
            if (frameWidth == 0 || frameHeight == 0 || x + frameWidth > width || y + frameHeight > height) {
                outcome = Outcome::Broken;
                break;
            }
            const int numerator = be16(chunk.data, 20);
            const int denominator = be16(chunk.data, 22) ? be16(chunk.data, 22) : 100;
            const int delay = numerator * 1000 / denominator;
            // As browsers do: 10 ms or less plays at 100 ms.
            control.rect = QRect(int(x), int(y), int(frameWidth), int(frameHeight));
            control.delayMs = delay > 10 ? delay : 100;
            control.dispose = quint8(chunk.data.at(24));
            control.blend = quint8(chunk.data.at(25));
            // The first frame cannot restore a previous canvas.
            if (animation.frames.isEmpty() && control.dispose == 2)
                control.dispose = 1;
            haveControl = true;
            frameInIdat = !seenData;
        } else if (chunk.type == "IDAT") {
            seenData = true;
            if (haveControl)
                data += chunk.data; // the default picture is the first frame
        } else if (chunk.type == "fdAT") {
            // Frame data belongs to the fcTL before it, never to the default picture.
            if (!haveControl || frameInIdat) {
                outcome = Outcome::Broken;
                break;
            }
            if (!inSequence(chunk.data))
                break;
            data += chunk.data.mid(4);
        } else if (!seenData && chunk.type != "IEND") {
            shared += chunkBytes(chunk.type, chunk.data);
        }
    }
    if (outcome == Outcome::Ok && !animation.cut)
        finishFrame();
    // Memory that ran out after some frames: those play.
    if (outcome == Outcome::TooLarge && !animation.frames.isEmpty()) {
        outcome = Outcome::Ok;
        animation.cut = true;
    }
    animation.outcome = outcome == Outcome::Ok && animation.frames.isEmpty() ? Outcome::Broken : outcome;
    return animation;
}

} // namespace Apng
