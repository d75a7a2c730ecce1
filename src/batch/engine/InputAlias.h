#pragma once

#include <QString>

// A name for an input file that ImageMagick reads literally.
//
// ImageMagick treats "[", "]", "*", "?", "{", "}" and "%" in an input name as
// frame selections, wildcards and scene numbers: when the literal file is not
// there it happily reads another one ("c*.png" gone, "cz.png" read instead). A
// path with any of them is given to it as a symbolic link with a plain name in
// the temporary folder, pointing at the absolute path; a vanished source then
// fails instead of being replaced. The link is removed with this object.
class InputAlias
{
public:
    // linkDir: where links are made (jobTempDir, created when needed).
    InputAlias(const QString &path, const QString &linkDir);
    ~InputAlias();
    InputAlias(const InputAlias &) = delete;
    InputAlias &operator=(const InputAlias &) = delete;

    // The path to give ImageMagick: path itself when it is safe, the link
    // otherwise, empty when no link could be made.
    QString path() const { return alias_; }

    static bool needsAlias(const QString &path);

private:
    QString alias_;
    QString link_;
};
