#pragma once

#include "rawdecode/RawChannel.h"
#include "rawdecode/RawDecode.h"
#include "viewer/LoadResult.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

// Camera RAW files are decoded by a process of ours (RawDecoder, beside
// ConvertToJpg), never inside the viewer: LibRaw's parsers have crashed on crafted
// files, and a crash there must cost one picture, not the viewer. The child runs
// in its own process group, dies with the thread that started it, may only read
// its file and write its memory once the file is open, and hands pictures back in
// shared memory. This is the one entry point; it blocks the calling loader thread.
namespace RawClient {

using Develop = RawChannel::Develop;

struct Request
{
    QString path;
    bool preview = false; // hand the embedded JPEG preview to onPreview before developing
    // How to develop, asked once the upright full size is known and the preview (if
    // asked) was handed over; a full develop when unset.
    std::function<Develop(const QSize &fullSize)> develop;
    qint64 maxBytes = -1; // refuse a picture whose RGB32 pixels would take more
};

// The camera's embedded preview as stored; turn it by quarterTurns clockwise, then
// mirror it left to right when mirrored, to stand it upright.
struct Preview
{
    QByteArray jpeg; // valid during the callback only
    QSize size; // as stored
    int quarterTurns = 0;
    bool mirrored = false;
    QSize fullSize; // upright size of the developed picture
};

struct Result
{
    LoadFailure failure = LoadFailure::None;
    bool notRaw = false; // LibRaw does not know the content (a JPEG named .dng)
    QSize fullSize; // upright, from the header
    QImage picture; // RGB32, upright; null unless developed (half the full size for Half)
    RawDecode::Metadata metadata; // from the header
    QString error; // why, in the decoder's words (debug lines)
};

// Runs the request; cancelled is asked every few milliseconds, and once it answers
// true the child is killed and the result is Cancelled. onPreview runs on the
// calling thread.
Result decode(const Request &request, const std::function<bool()> &cancelled,
              const std::function<void(const Preview &)> &onPreview = {});

// The most a developed picture's memory may hold: the largest picture allowed, as
// RGB32 rows without padding.
constexpr quint64 kMaxPictureBytes = RawDecode::kMaxPixels * 4;

// Whether a Picture reply describes memory the viewer may map and paint: a size
// within the bound, a positive stride that holds a row, and exactly the rows'
// bytes. A decoder that lies about any of them costs the picture, nothing else.
bool pictureReplyValid(const RawChannel::Reply &reply);

} // namespace RawClient
