#pragma once
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

// How one pass divides the free space F: N = F / 128,000,000 chunk units,
// R what is left. Chunk files 1 .. N-1 hold 128,008,008 bytes each; file N
// takes R and then grows until the volume is full, so what the lookup of F
// missed (or over-counted) never decides how much is overwritten.
struct FillPlan
{
    static constexpr int64_t kChunkUnit = 128'000'000;
    static constexpr int64_t kBlock = 4'000;
    static constexpr int64_t kBlocksPerChunk = 32'001;
    // One block, the 8-byte mark (a random byte and seven zeros), then the blocks.
    static constexpr int64_t kChunkFileSize = kBlock + 8 + kBlocksPerChunk * kBlock;

    int64_t freeSpace = 0;
    int64_t chunkCount = 0;  // N
    int64_t remainder = 0;   // R
    float step = 0;          // S: the bar's share of one chunk file

    static FillPlan forFreeSpace(int64_t freeSpace);
    // The chunk file's size rounded up to the file system's allocation unit.
    static int64_t chunkFileSizeFor(int64_t unit);
    // The bar after `written` bytes of a pass: their share of the free
    // space, held at 99 until the pass has ended.
    float progressAfter(int64_t written) const;
};

// The outcome of a fill, with the reason a user is shown when it failed.
struct FillResult
{
    enum class Outcome { Success, Failed, Cancelled };
    Outcome outcome = Outcome::Success;
    QString reason;
    int64_t written = 0;  // over all passes
    // Free bytes the last pass could not take even after its files were
    // closed and it filled again: old data there may remain.
    int64_t unreached = 0;
};

// Overwrites the free space of one mounted volume: once per pass it writes
// fill files into ".DWHS" at the volume's root until the volume is full,
// makes sure they reached the device, deletes them and syncs the file
// system. Blocking; runs on a worker. cancel() may come from any thread.
//
// The volume is named by its device node and mount point; every pass opens
// the mount point afresh and checks that the device is still what is mounted
// there, so a volume swapped or unmounted under the run is never written.
class FreeSpaceFill
{
public:
    struct Callbacks
    {
        // The bar value v of pass p (of P), as the bytes go: each time its
        // whole percent changes, and before each chunk file.
        std::function<void(float value, int pass, int passes)> progress;
        // A pass was written to its end (not one cancelled or failed); its
        // folder is gone by then.
        std::function<void(int pass, int passes)> passEnded;
    };

    static const QString kFolderName;  // ".DWHS"
    static const QString kReadOnlyText;
    static const QString kCancelledText;
    static const QString kPermissionText;
    // The fill folder is a mount point or lies on another volume (%1: its path).
    static const QString kForeignFolderText;

    FreeSpaceFill(QString deviceNode, QString mountPoint, int passes);

    // A volume the system runs from keeps what its file system holds back
    // for root, so system services can still write while it is filled.
    void setSystemVolume(bool system) { m_systemVolume = system; }

    void cancel() { m_cancel.store(true); }
    bool isCancelled() const { return m_cancel.load(); }

    FillResult run(const Callbacks& callbacks);

    // The fill folder's path, for removal at quit.
    QString folderPath() const;

    // Removes ".DWHS" at `mountPoint` as itself (a link is unlinked, never
    // followed; a folder is emptied through its own descriptor first), only
    // while `deviceNode` is what is mounted there. Another volume mounted at
    // the folder is never entered (false). True when nothing of that name is
    // left on that volume.
    static bool removeFolderAt(const QString& deviceNode, const QString& mountPoint);

private:
    FillResult runPass(int pass, const Callbacks& callbacks, int64_t* written);

    QString m_deviceNode;
    QString m_mountPoint;
    int m_passes;
    bool m_systemVolume = false;
    std::atomic<bool> m_cancel{false};
};
