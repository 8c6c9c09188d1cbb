#include "Report.h"

#include <cstdio>

Report::Report(bool verbose, bool records) : m_verbose(verbose), m_records(records)
{
    // Whoever reads the output sees each item as it ends, not when a buffer fills.
    if (m_records)
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    else
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

void Report::progress(const std::string& line)
{
    if (!m_verbose)
        return;
    // Records own stdout; the lines for people move aside.
    std::FILE* to = m_records ? stderr : stdout;
    std::fprintf(to, "srm: %s\n", line.c_str());
}

void Report::gone(const std::string& path)
{
    progress(path + ": removed");
    record('E', path, {});
}

void Report::failed(const std::string& path, const std::string& why)
{
    std::fprintf(stderr, "srm: %s: %s\n", path.c_str(), why.c_str());
    record('F', path, why);
}

void Report::missing(const std::string& path)
{
    record('F', path, "No such file or directory");
}

void Report::record(char kind, const std::string& path, const std::string& why)
{
    if (!m_records)
        return;
    std::string r;
    r.reserve(path.size() + why.size() + 4);
    r += kind;
    r += '\t';
    r += path;
    if (kind == 'F') {
        r += '\t';
        // One line, and no byte that would end a field or the record.
        for (const char c : why)
            r += (c == '\t' || c == '\n' || c == '\r' || c == '\0') ? ' ' : c;
    }
    r += '\0';
    std::fwrite(r.data(), 1, r.size(), stdout);
    std::fflush(stdout);
}
