#pragma once

#include <QString>

// A name for a file or folder that ImageMagick takes literally.
//
// ImageMagick treats "[", "]", "*", "?", "{", "}" and "%" in names as frame
// selections, wildcards and scene numbers. Reading, when the literal file is not
// there it happily reads another one ("c*.png" gone, "cz.png" read instead);
// writing, "100%d.png" becomes "1000.png", and "%" anywhere in the path stops the
// per-frame numbering of multi-frame outputs. A path with any of them is given to
// it as a symbolic link with a plain name in the temporary folder, pointing at
// the absolute path; a vanished source then fails instead of being replaced, and
// an output folder is written through the link. The link is removed with this
// object.
class PathAlias
{
public:
    // linkDir: where links are made (the file's temporary folder, created when needed).
    PathAlias(const QString &path, const QString &linkDir);
    ~PathAlias();
    PathAlias(const PathAlias &) = delete;
    PathAlias &operator=(const PathAlias &) = delete;

    // The path to give ImageMagick: path itself when it is safe, the link
    // otherwise, empty when no link could be made.
    QString path() const { return alias; }

    static bool needsAlias(const QString &path);

private:
    QString alias;
    QString linkPath;
};
