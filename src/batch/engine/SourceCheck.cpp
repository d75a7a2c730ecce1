#include "SourceCheck.h"

#include "SourceCheckSystem.h"
#include "formats/ContentFormat.h"

#include <QFileInfo>

namespace SourceCheck {

Source inspect(const QString &path, bool wantContent)
{
    Source source;
    source.problem = nameProblem(path);
    if (!source.problem.isEmpty())
        return source;
    QByteArray head;
    source.problem = readHead(path, &head);
    if (!source.problem.isEmpty())
        return source;
    const QString suffix = QFileInfo(path).suffix().toLower();
    source.coder = ContentFormat::of(head, suffix);
    source.size = ContentFormat::headerSize(head);
    if (wantContent && source.coder.isEmpty())
        source.problem = QStringLiteral("the content is not a picture format the program reads");
    return source;
}

} // namespace SourceCheck
