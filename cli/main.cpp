#include "cli/BatchCommandLine.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return BatchCommandLine::parse(app.arguments().mid(1)).action == BatchCommandLine::Run ? 0 : 2;
}
