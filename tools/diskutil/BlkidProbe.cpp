// Probing a device in this process with libblkid: a scan reads one device
// after another without starting a program per device.
#include "Devices.h"

#include <QFile>

#include <blkid/blkid.h>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace diskutil {

namespace {

// Closes the device and frees the probe whichever way probing ends.
class OpenProbe
{
public:
    explicit OpenProbe(const QString& node)
    {
        // Non-blocking, so an optical drive's tray is not closed by a look.
        m_fd = ::open(QFile::encodeName(node).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0)
            return;
        m_probe = blkid_new_probe();
        if (m_probe && blkid_probe_set_device(m_probe, m_fd, 0, 0) != 0) {
            blkid_free_probe(m_probe);
            m_probe = nullptr;
        }
    }
    ~OpenProbe()
    {
        if (m_probe)
            blkid_free_probe(m_probe);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenProbe(const OpenProbe&) = delete;
    OpenProbe& operator=(const OpenProbe&) = delete;

    blkid_probe get() const { return m_probe; }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    blkid_probe m_probe = nullptr;
};

// 0: found something; 1: nothing; -2: more than one signature; -1: error.
int probeSignatures(const OpenProbe& device)
{
    blkid_probe pr = device.get();
    blkid_probe_set_superblocks_flags(pr, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE |
                                              BLKID_SUBLKS_SECTYPE | BLKID_SUBLKS_USAGE | BLKID_SUBLKS_VERSION);
    blkid_probe_enable_partitions(pr, 1);
    struct stat st{};
    if (::fstat(device.fd(), &st) != 0)
        return -1;
    // A floppy-sized disk that carries a partition table is not read for
    // file systems: FAT boot sectors look like both.
    if (!S_ISCHR(st.st_mode) && blkid_probe_get_size(pr) <= 1024 * 1440 && blkid_probe_is_wholedisk(pr)) {
        blkid_probe_enable_superblocks(pr, 0);
        const int rc = blkid_do_fullprobe(pr);
        if (rc < 0)
            return rc;
        if (blkid_probe_lookup_value(pr, "PTTYPE", nullptr, nullptr) == 0)
            return 0;
    }
    blkid_probe_set_partitions_flags(pr, BLKID_PARTS_ENTRY_DETAILS);
    blkid_probe_enable_superblocks(pr, 1);
    return blkid_do_safeprobe(pr);
}

// The forms udev's record of a device keeps, which callers have always
// compared against: unsafe bytes as \xNN, or white space as '_'.
QString encoded(const char* value)
{
    QByteArray out(qsizetype(4 * std::strlen(value) + 1), '\0');
    if (blkid_encode_string(value, out.data(), size_t(out.size())) != 0)
        return QString::fromUtf8(value);
    return QString::fromUtf8(out.constData());
}

QString safe(const char* value)
{
    QByteArray out(qsizetype(std::strlen(value) + 1), '\0');
    if (blkid_safe_string(value, out.data(), size_t(out.size())) != 0)
        return QString::fromUtf8(value);
    return QString::fromUtf8(out.constData());
}

}  // namespace

void Probe::prepareThreads()
{
    // The first probe reads libblkid's debug settings into globals.
    static const bool once = [] {
        blkid_init_debug(0);
        return true;
    }();
    (void)once;
}

Probe Probe::read(const QString& node)
{
    Probe p;
    const OpenProbe device(node);
    if (!device.get() || probeSignatures(device) != 0)
        return p;
    blkid_probe pr = device.get();
    const int count = blkid_probe_numof_values(pr);
    for (int i = 0; i < count; ++i) {
        const char* name = nullptr;
        const char* data = nullptr;
        size_t length = 0;
        if (blkid_probe_get_value(pr, i, &name, &data, &length) != 0 || !name || !data)
            continue;
        const QByteArray key(name);
        if (key == "TYPE")
            p.fsType = encoded(data);
        else if (key == "VERSION")
            p.fsVersion = encoded(data);
        else if (key == "UUID")
            p.uuid = safe(data);
        else if (key == "USAGE")
            p.usage = QString::fromUtf8(data);
        else if (key == "LABEL") {
            // Every byte of the label, as the volume holds it.
            p.label = QString::fromUtf8(data);
            p.hasLabel = true;
        } else if (key == "PTTYPE")
            p.tableType = QString::fromUtf8(data);
        else if (key == "PTUUID")
            p.tableUuid = QString::fromUtf8(data);
        else if (key == "PART_ENTRY_TYPE")
            p.partEntryType = encoded(data).toLower();
        else if (key == "PART_ENTRY_UUID")
            p.partEntryUuid = QString::fromUtf8(data);
    }
    return p;
}

}  // namespace diskutil
