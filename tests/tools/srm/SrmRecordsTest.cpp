#include "SrmRun.h"
#include "TempTree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

// The records of one run, by path: "E", or "F" plus the reason.
struct Records
{
    std::multimap<QByteArray, QByteArray> byPath;
    bool wellFormed = true;
};

Records parse(const QByteArray& out)
{
    Records r;
    if (!out.isEmpty() && !out.endsWith('\0'))
        r.wellFormed = false;
    for (const QByteArray& rec : out.split('\0')) {
        if (rec.isEmpty())
            continue;
        if (rec.startsWith("E\t")) {
            r.byPath.emplace(rec.mid(2), "E");
        } else if (rec.startsWith("F\t")) {
            // Paths may hold tabs; the reason cannot.
            const qsizetype tab = rec.lastIndexOf('\t');
            if (tab <= 1)
                r.wellFormed = false;
            r.byPath.emplace(rec.mid(2, tab - 2), "F" + rec.mid(tab + 1));
        } else {
            r.wellFormed = false;
        }
    }
    return r;
}

// A file named by raw bytes, which need not be UTF-8.
void rawFile(const QString& folder, const QByteArray& name)
{
    const QByteArray path = QFile::encodeName(folder) + "/" + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, "data", 4), 4);
    ::close(fd);
}

}  // namespace

TEST(SrmRecords, OneRecordPerItemWithTheExactBytes)
{
    TempTree tree;
    const QString top = tree.folder("top");
    tree.file("top/a", QByteArray(9000, 'a'));
    tree.file("top/sub/b", "b");
    tree.link("top/link", tree / "top/a");
    rawFile(top, "new\nline");
    rawFile(top, "x\xff");
    rawFile(top + "/sub", "tab\tname");
    const QByteArray t = QFile::encodeName(top);

    const SrmRun r = runSrm({"-fsvrM", top, tree / "missing"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const Records rec = parse(r.out);
    EXPECT_TRUE(rec.wellFormed) << r.out.toStdString();
    const std::multimap<QByteArray, QByteArray> expected = {
        {t + "/a", "E"},
        {t + "/sub/b", "E"},
        {t + "/link", "E"},
        {t + "/new\nline", "E"},
        {t + "/x\xff", "E"},
        {t + "/sub/tab\tname", "E"},
        {t + "/sub", "E"},
        {t, "E"},
        // -f accepts it, but nothing was erased: a caller must not count it.
        {QFile::encodeName(tree / "missing"), "FNo such file or directory"},
    };
    EXPECT_EQ(rec.byPath, expected) << r.out.toStdString();
    // The lines for people went aside, pass lines included.
    EXPECT_TRUE(r.err.contains("/sub/b: removed")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(": pass 1/1")) << r.err.toStdString();

    // A folder comes after everything it held.
    const QByteArray nul(1, '\0');
    EXPECT_LT(r.out.indexOf(t + "/sub/b"), r.out.indexOf("E\t" + t + "/sub" + nul));
    EXPECT_TRUE(r.out.endsWith("E\t" + t + nul + "F\t" + QFile::encodeName(tree / "missing") +
                               "\tNo such file or directory" + nul));
}

TEST(SrmRecords, WhatStaysIsReportedOnceWithItsFolders)
{
    SKIP_UNLESS_ROOT();
    TempTree tree;
    const QString top = tree.folder("top");
    tree.file("top/gone", "g");
    const QString inner = tree.folder("top/mid/mnt");
    ScopedMount tmpfs("tv-srm-records", inner, "tmpfs", 0);
    ASSERT_TRUE(tmpfs.mounted);
    const QByteArray t = QFile::encodeName(top);

    const SrmRun r = runSrm({"-sfrM", top});
    EXPECT_EQ(r.code, 1);
    const Records rec = parse(r.out);
    EXPECT_TRUE(rec.wellFormed) << r.out.toStdString();
    ASSERT_EQ(rec.byPath.size(), 4u) << r.out.toStdString();
    EXPECT_EQ(rec.byPath.count(t + "/gone"), 1u);
    EXPECT_EQ(rec.byPath.find(t + "/gone")->second, "E");
    for (const QByteArray& kept : {t + "/mid/mnt", t + "/mid", t}) {
        ASSERT_EQ(rec.byPath.count(kept), 1u) << kept.toStdString();
        EXPECT_TRUE(rec.byPath.find(kept)->second.startsWith("F")) << kept.toStdString();
    }
    EXPECT_TRUE(r.err.contains("mnt")) << r.err.toStdString();
}

TEST(SrmRecords, ManyPathsAreRemovedTogetherAndEachTold)
{
    TempTree tree;
    QStringList args{"-fEM"};
    for (int i = 0; i < 50; ++i)
        args << tree.file(QStringLiteral("one/f%1").arg(i), QByteArray(i * 1000, 'x'));
    // Large enough to take the one-by-one road, beside the small ones.
    args << tree.file("one/large", QByteArray(3 << 20, 'L'));
    args << tree.file("two/g", "g");
    // Named twice: removed once, then missing.
    args << tree / "one/f0";

    const SrmRun r = runSrm(args);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const Records rec = parse(r.out);
    EXPECT_TRUE(rec.wellFormed);
    EXPECT_EQ(rec.byPath.size(), 53u);
    for (qsizetype i = 2; i < args.size() - 1; ++i) {  // f0, named twice, below
        const QByteArray path = QFile::encodeName(args[i]);
        ASSERT_EQ(rec.byPath.count(path), 1u) << path.toStdString();
        EXPECT_EQ(rec.byPath.find(path)->second, "E") << path.toStdString();
        EXPECT_FALSE(QFile::exists(args[i]));
    }
    const auto twice = rec.byPath.equal_range(QFile::encodeName(tree / "one/f0"));
    ASSERT_EQ(std::distance(twice.first, twice.second), 2);
    EXPECT_EQ(twice.first->second, "E");
    EXPECT_EQ(std::next(twice.first)->second, "FNo such file or directory");
    EXPECT_TRUE(QDir(tree / "one").isEmpty());
}

namespace {

QString identityOf(const QString& path)
{
    struct stat st{};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("-");
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

}  // namespace

TEST(SrmRecords, APathThatNoLongerNamesTheListedEntryIsLeftAlone)
{
    TempTree tree;
    const QString same = tree.file("same.txt", "same");
    const QString swapped = tree.file("swapped.txt", "new content");
    const QString unknown = tree.file("unknown.txt", "unknown");
    const QString folder = tree.folder("folder");
    tree.file("folder/inside", "inside");
    // As if swapped.txt had been replaced after the listing: the caller saw another file.
    const QString listedBefore = identityOf(tree.file("other.txt", "other"));

    const SrmRun r = runSrm({"-fsrzM", "-I", "--", identityOf(same), same, listedBefore, swapped, "-", unknown,
                             identityOf(folder), folder});
    EXPECT_EQ(r.code, 1);
    const Records rec = parse(r.out);
    ASSERT_TRUE(rec.wellFormed);
    const auto word = [&](const QString& p) {
        const auto it = rec.byPath.find(QFile::encodeName(p));
        return it == rec.byPath.end() ? QByteArray() : it->second;
    };
    EXPECT_EQ(word(same), "E");
    EXPECT_TRUE(word(swapped).startsWith("Fnames another file than the one chosen")) << word(swapped).toStdString();
    EXPECT_EQ(word(unknown), "E");
    EXPECT_EQ(word(folder), "E");
    EXPECT_EQ(TempTree::read(swapped), "new content");

    // An identity out of step with its path is a bad command line: nothing is touched.
    const QString keep = tree.file("keep.txt", "keep");
    for (const QStringList& args : {QStringList{"-fsI", "--", "12", keep}, QStringList{"-fsI", "--", "1:2"},
                                    QStringList{"-fsI", "--", "x:1", keep}, QStringList{"-fsI", "--", keep, keep}}) {
        const SrmRun bad = runSrm(args);
        EXPECT_EQ(bad.code, 64) << args.join(' ').toStdString();
        EXPECT_EQ(TempTree::read(keep), "keep");
    }
}

namespace {

// The inodes a folder's entries lead to, by name.
std::map<ino_t, QByteArray> inodesIn(const QString& folder)
{
    std::map<ino_t, QByteArray> found;
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        struct stat st{};
        if (::lstat(QFile::encodeName(dir.filePath(name)).constData(), &st) == 0)
            found[st.st_ino] = QFile::encodeName(name);
    }
    return found;
}

}  // namespace

// Someone who may write the folder swaps the listed file with another entry
// over and over while srm works on it. Whatever the timing, srm removes the
// file it overwrote or says it failed; the other entry is never what goes.
TEST(SrmRecords, ANameSwappedWithAnotherEntryDuringTheRunNeverTakesThatEntry)
{
    SKIP_UNLESS_ROOT();  // a device node needs root
    struct Kind
    {
        const char* name;
        mode_t mode;
    };
    const Kind kinds[] = {{"fifo", S_IFIFO | 0600},
                          {"device node", S_IFCHR | 0600},
                          {"socket", S_IFSOCK | 0600},
                          {"regular file", S_IFREG | 0600}};
    constexpr int kRuns = 25;  // 100 runs in all
    int removed = 0, refused = 0;
    for (const Kind& kind : kinds) {
        for (int run = 0; run < kRuns; ++run) {
            SCOPED_TRACE(std::string(kind.name) + ", run " + std::to_string(run));
            TempTree tree;
            const QString folder = tree.folder("d");
            const QString listed = tree.file("d/listed", QByteArray(16 << 10, 'L'));
            const QByteArray other = QFile::encodeName(folder + "/other");
            ASSERT_EQ(::mknod(other.constData(), kind.mode, kind.mode & S_IFCHR ? makedev(1, 3) : 0), 0)
                << std::strerror(errno);
            struct stat listedSt{}, otherSt{};
            ASSERT_EQ(::lstat(QFile::encodeName(listed).constData(), &listedSt), 0);
            ASSERT_EQ(::lstat(other.constData(), &otherSt), 0);
            const QString identity = identityOf(listed);

            const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ASSERT_GE(dirFd, 0);
            std::atomic<bool> stop{false};
            std::thread swapper([&] {
                while (!stop.load(std::memory_order_relaxed))
                    ::renameat2(dirFd, "listed", dirFd, "other", RENAME_EXCHANGE);
            });
            const SrmRun r = runSrm({"-fsM", "-I", "--", identity, listed});
            stop = true;
            swapper.join();
            ::close(dirFd);

            const Records rec = parse(r.out);
            ASSERT_TRUE(rec.wellFormed);
            ASSERT_EQ(rec.byPath.size(), 1u) << r.out.toStdString();
            const QByteArray word = rec.byPath.begin()->second;
            const auto left = inodesIn(folder);
            EXPECT_TRUE(left.count(otherSt.st_ino)) << "the swapped-in " << kind.name << " was removed; srm said "
                                                    << word.toStdString();
            if (word == "E") {
                ++removed;
                EXPECT_EQ(r.code, 0);
                EXPECT_FALSE(left.count(listedSt.st_ino)) << "reported gone, still there";
            } else {
                ++refused;
                EXPECT_EQ(r.code, 1) << word.toStdString();
                EXPECT_TRUE(left.count(listedSt.st_ino)) << "reported left in place, but gone: " << word.toStdString();
            }
            EXPECT_LE(left.size(), 2u);
        }
    }
    std::cout << "[ NOTE     ] under the swap: " << removed << " removed, " << refused << " refused" << std::endl;
}
