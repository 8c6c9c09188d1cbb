// Runs the free-space fill once on a mounted volume and prints the seconds
// it took and the bytes it wrote: bench/wipe-fill/run.sh sets the peer beside it.
#include "WipeDisk/FreeSpaceFill.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tv_fill_bench <device node> <mount point> [passes]\n");
        return 2;
    }
    FreeSpaceFill fill(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), argc > 3 ? std::atoi(argv[3]) : 1);
    QElapsedTimer clock;
    clock.start();
    const FillResult result = fill.run({});
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("%.3f %lld\n", seconds, static_cast<long long>(result.written));
    if (result.outcome != FillResult::Outcome::Success) {
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(result.reason));
        return 1;
    }
    return 0;
}
