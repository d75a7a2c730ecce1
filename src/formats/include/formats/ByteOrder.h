#pragma once

#include <QByteArray>

// Numbers in file headers, read from memory the caller has checked holds them:
// size bytes (1 to 4) at `at`, unsigned.
namespace ByteOrder {

inline quint32 bigEndian(const uchar *bytes, int size = 4)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | bytes[i];
    return value;
}

inline quint32 bigEndian(const QByteArray &bytes, int at, int size = 4)
{
    return bigEndian(reinterpret_cast<const uchar *>(bytes.constData()) + at, size);
}

inline quint32 littleEndian(const QByteArray &bytes, int at, int size = 4)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

} // namespace ByteOrder
