// Times the first scan of the Uninstaller on a machine of N desktop entries
// (default 200): from the start of the scan to tab 0 filled and painted, in
// the real screen (offscreen). Beside it, the peer: one `dpkg-query -S` over
// the same entry files, the package lookup no scan can skip, and the
// one-call-per-entry way the scan must not take.
#include "platform/ExternalCommand.h"
#include "uninstall/UninstallViewController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QTemporaryDir dir;
    const QString root = dir.filePath("applications");
    QDir().mkpath(root);
    QStringList files;
    for (int i = 0; i < entries; ++i) {
        const QString file = root + QStringLiteral("/org.bench.App%1.desktop").arg(i);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Bench App %1\nIcon=application-x-executable\n"
                               "Exec=/usr/bin/bench-app-%1 %U\n[Desktop Action new]\nName=New\nExec=x\n")
                    .arg(i)
                    .toUtf8());
        files << file;
    }

    ScanSetup setup;
    setup.applicationRoots = {root};
    setup.home = dir.filePath("home");
    RelatedRoots roots = RelatedRoots::forHome(setup.home);

    std::vector<double> screenMs, peerMs;
    for (int r = 0; r < rounds; ++r) {
        UninstallViewController screen(setup, roots, false);
        screen.resize(730, 580);
        screen.show();
        QElapsedTimer t;
        t.start();
        screen.begimScanFile();
        while (screen.showList().size() < entries && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        screen.repaint();
        screenMs.push_back(t.nsecsElapsed() / 1e6);

        QElapsedTimer p;
        p.start();
        platform::runCommand(QStringLiteral("dpkg-query"), QStringList{QStringLiteral("-S"), QStringLiteral("--")} + files);
        peerMs.push_back(p.nsecsElapsed() / 1e6);
    }
    QElapsedTimer each;
    each.start();
    for (const QString& f : std::as_const(files).mid(0, std::min<qsizetype>(20, files.size())))
        platform::runCommand(QStringLiteral("dpkg-query"), {QStringLiteral("-S"), f});
    const double perEntryMs = each.nsecsElapsed() / 1e6 / std::min<qsizetype>(20, files.size()) * entries;

    const double s = median(screenMs), p = median(peerMs);
    std::printf("entries: %d, rounds: %d\n", entries, rounds);
    std::printf("tab 0 filled and painted: %.1f ms (median)   target: under 300 ms\n", s);
    std::printf("peer, one dpkg-query -S over all entries: %.1f ms   ratio: %.2f\n", p, s / p);
    std::printf("one dpkg-query per entry instead (estimated from 20): %.1f ms\n", perEntryMs);
    return s < 300 ? 0 : 1;
}
