#include "viewer/Apng.h"

#include <QPainter>
#include <QtEndian>

#include <array>

namespace Apng {

namespace {

const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);

struct Chunk
{
    QByteArray type;
    QByteArray data;
};

quint32 crc32(const QByteArray &bytes)
{
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xffffffffu;
    for (char byte : bytes)
        c = table[(c ^ quint8(byte)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

QByteArray chunkBytes(const QByteArray &type, const QByteArray &data)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    const QByteArray body = type + data;
    out += body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(body), crc.data());
    return out + crc;
}

// The chunks in order; empty when the structure is broken.
QVector<Chunk> chunksOf(const QByteArray &png)
{
    QVector<Chunk> chunks;
    if (!png.startsWith(kSignature))
        return chunks;
    int at = kSignature.size();
    while (at + 12 <= png.size()) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > quint32(png.size() - at - 12))
            return {};
        chunks.append({png.mid(at + 4, 4), png.mid(at + 8, int(length))});
        at += 12 + int(length);
        if (chunks.constLast().type == "IEND")
            break;
    }
    return chunks;
}

quint32 be32(const QByteArray &data, int at)
{
    return data.size() >= at + 4 ? qFromBigEndian<quint32>(data.constData() + at) : 0;
}
quint16 be16(const QByteArray &data, int at)
{
    return data.size() >= at + 2 ? qFromBigEndian<quint16>(data.constData() + at) : 0;
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
    for (const Chunk &chunk : chunksOf(png)) {
        if (chunk.type == "acTL")
            return true;
        if (chunk.type == "IDAT")
            return false;
    }
    return false;
}

Animation decode(const QByteArray &png, qint64 maxBytes, qint64 maxPixels, const std::function<bool()> &cancelled)
{
    Animation animation;
    const QVector<Chunk> chunks = chunksOf(png);
    if (chunks.isEmpty() || chunks.constFirst().type != "IHDR")
        return animation;
    const QByteArray header = chunks.constFirst().data;
    const QSize canvasSize(int(be32(header, 0)), int(be32(header, 4)));
    if (canvasSize.isEmpty() || qint64(canvasSize.width()) * canvasSize.height() > maxPixels)
        return animation;

    QByteArray shared; // chunks every frame's PNG needs (palette, transparency, colour space)
    QImage canvas(canvasSize, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    qint64 bytes = 0;
    bool seenData = false;
    FrameControl control;
    bool haveControl = false;
    QByteArray data;

    const auto finishFrame = [&]() -> bool {
        if (!haveControl || data.isEmpty())
            return true;
        QByteArray frameHeader = header;
        qToBigEndian<quint32>(quint32(control.rect.width()), frameHeader.data());
        qToBigEndian<quint32>(quint32(control.rect.height()), frameHeader.data() + 4);
        const QByteArray framePng = kSignature + chunkBytes("IHDR", frameHeader) + shared + chunkBytes("IDAT", data)
            + chunkBytes("IEND", QByteArray());
        const QImage frame = QImage::fromData(framePng, "PNG");
        data.clear();
        haveControl = false;
        if (frame.isNull())
            return false;
        const QImage before = control.dispose == 2 ? canvas.copy(control.rect) : QImage();
        {
            QPainter painter(&canvas);
            painter.setCompositionMode(control.blend == 0 ? QPainter::CompositionMode_Source
                                                          : QPainter::CompositionMode_SourceOver);
            painter.drawImage(control.rect.topLeft(), frame);
        }
        animation.frames.append({canvas.copy(), control.delayMs});
        bytes += canvas.sizeInBytes();
        QPainter painter(&canvas);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        if (control.dispose == 1)
            painter.fillRect(control.rect, Qt::transparent);
        else if (control.dispose == 2)
            painter.drawImage(control.rect.topLeft(), before);
        return true;
    };

    for (const Chunk &chunk : chunks) {
        if (cancelled && cancelled())
            return animation;
        if (bytes >= maxBytes)
            break;
        if (chunk.type == "acTL") {
            const quint32 plays = be32(chunk.data, 4);
            animation.loopCount = plays == 0 ? -1 : int(qMin<quint32>(plays, 1000000)) - 1;
        } else if (chunk.type == "fcTL") {
            if (!finishFrame())
                return animation;
            const QRect rect(int(be32(chunk.data, 12)), int(be32(chunk.data, 16)), int(be32(chunk.data, 4)),
                             int(be32(chunk.data, 8)));
            if (rect.isEmpty() || !QRect(QPoint(0, 0), canvasSize).contains(rect))
                return animation;
            const int numerator = be16(chunk.data, 20);
            const int denominator = be16(chunk.data, 22) ? be16(chunk.data, 22) : 100;
            const int delay = numerator * 1000 / denominator;
            // As browsers do: 10 ms or less plays at 100 ms.
            control.rect = rect;
            control.delayMs = delay > 10 ? delay : 100;
            control.dispose = chunk.data.size() > 24 ? quint8(chunk.data.at(24)) : 0;
            control.blend = chunk.data.size() > 25 ? quint8(chunk.data.at(25)) : 0;
            // The first frame cannot restore a previous canvas.
            if (animation.frames.isEmpty() && control.dispose == 2)
                control.dispose = 1;
            haveControl = true;
        } else if (chunk.type == "IDAT") {
            seenData = true;
            if (haveControl)
                data += chunk.data; // the default picture is the first frame
        } else if (chunk.type == "fdAT") {
            data += chunk.data.mid(4); // after the sequence number
        } else if (!seenData && chunk.type != "IHDR" && chunk.type != "IEND") {
            shared += chunkBytes(chunk.type, chunk.data);
        }
    }
    if (!finishFrame())
        return animation;
    animation.ok = !animation.frames.isEmpty();
    return animation;
}

} // namespace Apng
