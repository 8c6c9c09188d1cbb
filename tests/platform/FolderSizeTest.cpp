#include "TempTree.h"
#include "platform/FolderSize.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>

#include <gtest/gtest.h>

TEST(FolderSize, ABindMountOfTheSameFileSystemIsNotCounted)
{
    TempTree tree;
    tree.file("elsewhere/big", QByteArray(50000, 'x'));
    tree.file("top/own", QByteArray(100, 'x'));
    const QString mountPoint = tree.folder("top/bound");
    if (::mount(QFile::encodeName(tree / "elsewhere").constData(), QFile::encodeName(mountPoint).constData(), nullptr,
                MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here (needs root): " << std::strerror(errno);
    const uint64_t size = platform::folderSize(tree / "top");
    ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
    EXPECT_EQ(size, 100u);
}
