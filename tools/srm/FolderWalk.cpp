#include "FolderWalk.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// As many links as the kernel follows in one lookup.
constexpr int kMaxLinks = 40;

void split(const std::string& path, std::deque<std::string>& into, bool atFront)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (atFront)
        into.insert(into.begin(), parts.begin(), parts.end());
    else
        into.insert(into.end(), parts.begin(), parts.end());
}

// We run on a path listed earlier; whoever can write into a folder along it can
// since have swapped a subfolder for a link to /etc. The kernel guards only
// sticky world-writable folders, so we go further. As root, a link counts only
// when it is root's and so is every folder above it: a user's link in the user's
// own folder may point anywhere, and root would follow it into files the user
// could never reach. Otherwise a link counts when it is ours, root's or its
// folder's owner's. Either way nobody else may be able to replace it: the folder
// grants no group or other write (an ACL granting write shows in the group bits)
// or is sticky, where only those owners may rename or remove it.
bool trustedLink(const struct stat& link, const struct stat& folder, bool rootAllTheWay)
{
    const bool onlyOwnerWrites = (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    const bool nobodyElseReplaces = onlyOwnerWrites || (folder.st_mode & S_ISVTX);
    if (::geteuid() == 0)
        return link.st_uid == 0 && rootAllTheWay && nobodyElseReplaces;
    const bool ownerTrusted = link.st_uid == 0 || link.st_uid == folder.st_uid || link.st_uid == ::geteuid();
    return ownerTrusted && nobodyElseReplaces;
}

bool rootOwned(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_uid == 0;
}

std::string joined(const std::string& walked, const std::string& name)
{
    return walked + (walked.empty() || walked.back() == '/' ? "" : "/") + name;
}

void replaceFd(int& fd, int with)
{
    if (fd >= 0)
        ::close(fd);
    fd = with;
}

}  // namespace

int openFolderSafely(const std::string& folder, int& err, std::string& untrusted)
{
    const int pathFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    std::deque<std::string> rest;
    split(folder, rest, false);
    const bool absolute = !folder.empty() && folder[0] == '/';
    int fd = ::open(absolute ? "/" : ".", pathFlags);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    std::string walked = absolute ? "/" : "";  // for messages only
    int linksFollowed = 0;
    // Every folder walked through so far belongs to root.
    bool rootAllTheWay = rootOwned(fd);
    while (!rest.empty()) {
        const std::string name = rest.front();
        rest.pop_front();
        if (name == ".")
            continue;
        if (name == "..") {
            // The physical parent, as the kernel takes it after a followed link.
            const int up = ::openat(fd, "..", pathFlags);
            if (up < 0) {
                err = errno;
                replaceFd(fd, -1);
                return -1;
            }
            replaceFd(fd, up);
            rootAllTheWay = rootAllTheWay && rootOwned(fd);
            walked = joined(walked, name);
            continue;
        }
        const int next = ::openat(fd, name.c_str(), pathFlags | O_NOFOLLOW);
        if (next >= 0) {
            replaceFd(fd, next);
            rootAllTheWay = rootAllTheWay && rootOwned(fd);
            walked = joined(walked, name);
            continue;
        }
        err = errno;
        struct stat entry, here;
        if ((err != ENOTDIR && err != ELOOP) || ::fstatat(fd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(entry.st_mode)) {
            if (err == ELOOP)
                err = ENOTDIR;  // not a link after all: something else, so not a folder
            replaceFd(fd, -1);
            return -1;
        }
        if (::fstat(fd, &here) != 0) {
            err = errno;
            replaceFd(fd, -1);
            return -1;
        }
        if (!trustedLink(entry, here, rootAllTheWay)) {
            untrusted = joined(walked, name);
            err = EPERM;
            replaceFd(fd, -1);
            return -1;
        }
        if (++linksFollowed > kMaxLinks) {
            err = ELOOP;
            replaceFd(fd, -1);
            return -1;
        }
        // The rule also keeps the link from being swapped before it is read: nobody
        // it distrusts may rename or remove it.
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlinkat(fd, name.c_str(), target.data(), target.size());
        if (n < 0 || size_t(n) >= target.size()) {
            err = n < 0 ? errno : ENAMETOOLONG;
            replaceFd(fd, -1);
            return -1;
        }
        target.resize(size_t(n));
        if (target.empty()) {
            err = ENOENT;
            replaceFd(fd, -1);
            return -1;
        }
        split(target, rest, true);
        if (target[0] == '/') {
            const int top = ::open("/", pathFlags);
            if (top < 0) {
                err = errno;
                replaceFd(fd, -1);
                return -1;
            }
            replaceFd(fd, top);
            rootAllTheWay = rootOwned(fd);
            walked.assign(1, '/');  // (plain = "/" trips a false -Wrestrict in GCC 12)
        }
    }
    // A readable descriptor lets the caller sync the folder; O_PATH is enough for the rest.
    const int readable = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable >= 0)
        replaceFd(fd, readable);
    return fd;
}
