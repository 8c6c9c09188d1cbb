#pragma once
#include <string>

// Everything srm tells its caller. People read messages on stderr and, with -v,
// progress lines; a program reads records (-M): one per item, NUL-terminated,
// since paths may hold any byte but NUL.
class Report
{
public:
    Report(bool verbose, bool records);

    bool verbose() const { return m_verbose; }

    // A -v progress line (without the "srm: " prefix and newline).
    void progress(const std::string& line);

    // The item is gone: its passes and the folder change are on the device.
    void gone(const std::string& path);
    // The item is left in place; `why` goes to stderr and into the record.
    void failed(const std::string& path, const std::string& why);
    // A named path that was not there, which -f accepts: only the record tells,
    // so that a caller never counts it as erased.
    void missing(const std::string& path);

private:
    void record(char kind, const std::string& path, const std::string& why);

    bool m_verbose;
    bool m_records;
};
