// Side by side on one file system:
//  - building the run list of a 50,000-file folder next to `find` listing it;
//  - erasing a folder of 10,000 files of 4 KiB through the engine next to
//    `srm -rs` on an identical tree.
#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"
#include "platform/Layout.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void makeTree(const QString& top, int folders, int filesPerFolder, int bytes)
{
    const QByteArray data(bytes, 'd');
    for (int d = 0; d < folders; ++d) {
        const QString sub = QStringLiteral("%1/d%2").arg(top).arg(d);
        QDir().mkpath(sub);
        for (int f = 0; f < filesPerFolder; ++f) {
            QFile file(QStringLiteral("%1/f%2").arg(sub).arg(f));
            if (file.open(QIODevice::WriteOnly))
                file.write(data);
        }
    }
    ::sync();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeProgram(const QString& program, const QStringList& args)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args);
    p.waitForFinished(-1);
    return t.nsecsElapsed() / 1e6;
}

struct Waiter : RemoveFileAndFolderDelegate
{
    bool ended = false;
    int fails = 0;
    void haveFailEraser() override { ++fails; }
    void removeObjEnd(const FileObjList&) override { ended = true; }
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const QString srm = argc > 2 ? QString::fromLocal8Bit(argv[2]) : platform::Layout::current().tool("srm");
    QTemporaryDir work(base + "/tv-engine-bench-XXXXXX");

    // 1. Run list of 50,000 files, next to find.
    const QString listed = work.path() + "/listed";
    makeTree(listed, 50, 1000, 0);
    auto top = FolderExpansion::buildFileObj(listed, true);
    std::vector<double> ours, find;
    qsizetype count = 0;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        count = FolderExpansion::buildRunList({top}).size();
        ours.push_back(t.nsecsElapsed() / 1e6);
        find.push_back(timeProgram("find", {listed, "-printf", "%s %p\\n"}));
    }
    std::printf("run list of %lld entries: %.0f ms (target < 300); find -printf: %.0f ms; ratio %.2f\n",
                static_cast<long long>(count), median(ours), median(find), median(ours) / median(find));

    {
        auto run = FolderExpansion::buildRunList({top});
        QElapsedTimer t;
        t.start();
        Waiter waiter;
        RemoveFileAndFolder eng("/bin/true");
        eng.setDelegate(&waiter);
        eng.benginToTraskWithArr(run);
        std::printf("engine start on %lld entries: %.1f ms\n", static_cast<long long>(run.size()), t.nsecsElapsed() / 1e6);
        eng.isCancel();
        while (!waiter.ended)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    // 2. A folder of 10,000 files of 4 KiB: the engine against srm -rs.
    platform::setUserDefaultInteger(kEraserTimesKey, 1);
    std::vector<double> engine, tool;
    for (int round = 0; round < (qEnvironmentVariableIsSet("TV_BENCH_LIST_ONLY") ? 0 : 3); ++round) {
        const QString a = work.path() + QStringLiteral("/engine%1").arg(round);
        const QString b = work.path() + QStringLiteral("/srm%1").arg(round);
        makeTree(a, 10, 1000, 4096);
        makeTree(b, 10, 1000, 4096);

        QElapsedTimer t;
        t.start();
        auto item = FolderExpansion::buildFileObj(a, true);
        Waiter waiter;
        RemoveFileAndFolder eng(srm);
        eng.setDelegate(&waiter);
        eng.benginToTraskWithArr(FolderExpansion::buildRunList({item}));
        while (!waiter.ended)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        engine.push_back(t.nsecsElapsed() / 1e6);
        if (waiter.fails || QFileInfo::exists(a))
            std::printf("  engine round %d: %d items failed\n", round, waiter.fails);

        tool.push_back(timeProgram(srm, {"-rs", b}));
    }
    if (engine.empty())
        return 0;
    std::printf("10,000 files of 4 KiB: engine %.0f ms, srm -rs %.0f ms; ratio %.2f (target <= 1.5)\n", median(engine),
                median(tool), median(engine) / median(tool));
    return 0;
}
