#include "support/SelfChild.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

namespace SelfChild {

bool run(QProcess &child, const QStringList &args, int timeoutMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), args);
    return child.waitForFinished(timeoutMs);
}

} // namespace SelfChild
