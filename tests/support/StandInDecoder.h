#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in for the viewer's RAW decoder process, played by the test program
// itself. A temporary application folder holds a copy of the test program and, where
// the viewer looks for its decoder (decoder/ConverterToJpg/RawDecoder), a link to
// that copy; the copy, run in a child mode, is a viewer whose decoder answers as the
// RAW file's content says:
//
//   good              a 64 x 48 grey picture, as the real decoder hands one back
//   hang              never answers
//   impossible size   the header tells a width of 2^31 - 1
//   short buffer      the picture's memory a row shorter than its rows
//   long buffer       a row longer
//   zero stride, negative stride
//   past the limit    20000 x 20000 (400 megapixels), memory and all
namespace StandInDecoder {

// The decoder's command line (--parent PID ...): the test program is the stand-in.
bool invoked(int argc, char **argv);
int main(int argc, char **argv);

class AppFolder
{
public:
    AppFolder();
    bool isValid() const;
    // The copy of this test program, whose application folder this is.
    QString program() const;
    // Runs the copy with args, offscreen, and waits for it to end; false on a time-out.
    bool run(QProcess &child, const QStringList &args, int timeoutMs = 30000);

private:
    QTemporaryDir dir;
    bool valid = false;
};

} // namespace StandInDecoder
