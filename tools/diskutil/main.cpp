// diskutil: lists, mounts, unmounts, ejects, renames, erases and checks
// volumes, and prints what it finds as property lists.
#include "Commands.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    diskutil::Invocation inv;
    QStringList args = app.arguments().mid(1);
    // Global options stand before the command word.
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (!diskutil::parseGlobalOption(option, inv)) {
            std::fprintf(stderr, "unknown option %s\n%s\n", option.toUtf8().constData(),
                         diskutil::usageText().toUtf8().constData());
            return diskutil::Usage;
        }
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "%s\n", diskutil::usageText().toUtf8().constData());
        return diskutil::Usage;
    }
    inv.command = args.takeFirst();
    inv.arguments = args;
    return diskutil::dispatchCommand(inv);
}
