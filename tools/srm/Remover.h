#pragma once
#include "FileSystem.h"
#include "Options.h"
#include "Overwrite.h"
#include "Report.h"

#include <string>

class Random;

// Overwrites and removes what the command line names, one argument at a time.
class Remover
{
public:
    Remover(const Options& options, Random& random, Report& report);

    // True when the path is gone afterwards, or was never there and -f was given.
    bool removeArgument(const std::string& path);

private:
    bool removeFolder(int parentFd, const std::string& name, const Entry& entry, const std::string& shown);
    bool removeEntry(int dirFd, const std::string& name, const Entry& entry, const std::string& shown);
    bool shredFile(int dirFd, const std::string& name, const Entry& entry, const std::string& shown);
    bool hideNameAndUnlink(int dirFd, const std::string& name, const std::string& shown);
    // 0 or the errno value; an entry already gone counts as removed.
    int unlinkEntry(int dirFd, const std::string& name, int flags);
    int openFolder(int dirFd, const std::string& name);
    void makeRemovable(int dirFd, const std::string& name);
    void prepareFolder(int fd);

    void fail(const std::string& shown, const std::string& why);
    void failErrno(const std::string& shown, const char* what, int err);
    void warn(const std::string& shown, const std::string& what);
    void removed(const std::string& shown);

    const Options& m_options;
    Random& m_random;
    Report& m_report;
    Overwriter m_overwriter;
};
