#pragma once
#include "inter/BrowerObj.h"

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <cstdint>
#include <optional>

class ToGetDB;

// Whose browsers these are: the invoking user's ids and home. Every path is
// built from this home, and every file is opened, removed or created with
// this user's rights (platform/FileSystemUser).
struct BrowserUser
{
    uid_t uid = 0;
    gid_t gid = 0;
    QString home;
    // $XDG_CONFIG_HOME when it names a folder in the home; empty for
    // `home`/.config.
    QString configHome;

    QString configFolder() const;
    static BrowserUser invoking();
};

// What each category of each browser measures and cleans. A category's
// path is its format with the user's home in place of "%@".
class BrowserData
{
public:
    explicit BrowserData(BrowserUser user);

    const BrowserUser& user() const { return m_user; }
    // The home folder that fills the path formats.
    QString userName() const { return m_user.home; }
    QString pathOf(const BrowerObj& category) const;

    // Size of a file, or of everything below a folder; 0 when missing.
    static int64_t fileSizeWithPath(const QString& path);
    // The names in a folder, not recursive; nothing for an empty or blank
    // path or a folder that cannot be listed.
    static std::optional<QStringList> getAllFileWithPath(const QString& path);
    // The profile the Firefox installed in `installDir` uses, below the
    // profile folder `folder`.
    QString getDefaultWithPath(const QString& folder, const QString& installDir) const;
    // Removes a file or a whole folder; a file goes with its database
    // companions (-wal, -shm, -journal), which hold its rows too. True when
    // nothing is left.
    static bool deleteFileWithPath(const QString& path);

    // Measures: the row text. Each also leaves the category's outcome.
    QString getGoogleFileSizeWithBrower(BrowerObj& category);
    QString getFirefoxSizeWithBrower(BrowerObj& category);
    QString getOpearSizeWithBrower(BrowerObj& category);
    QString getSafariSizeWithBrower(BrowerObj& category);

    // Cleans: false, with the reason in the category, when anything failed.
    bool deleteGoogleWithBrower(BrowerObj& category);
    bool deleteFirefoxWithBrower(BrowerObj& category);
    bool deleteOpearWithBrower(BrowerObj& category);
    bool deleteSafariWithBrower(BrowerObj& category);

    // The measure chosen by the browser's name ("Google Chrome", "Firefox",
    // "Opera", "Safari", in that order), run with the user's rights; the text
    // lands in `size`. A profile that is not the user's own is not read.
    void measure(BrowerObj& category);
    // The clean chosen the same way. A failed clean shows "Failed" and keeps
    // its reason; a category with no clean keeps its text and is Untouched.
    // A profile a running browser holds, or one outside the user's home or
    // not owned by the user, is not touched. The tick is cleared.
    void clean(BrowerObj& category);

    // Why `path` may not be touched for the user (empty when it may): where
    // it really is, links followed, must be inside the user's home and be
    // the user's own.
    QString refusalFor(const QString& path) const;

    // Row texts.
    static QString countText(qint64 count);
    static QString sizeText(int64_t bytes);
    static const QString kFailedText;
    static const QString kUnreadableText;
    static const QString kNoProfileText;

private:
    struct Result
    {
        bool ok = true;
        QString error;
        // Whether anything the category works on was there to clean.
        bool found = false;
        // Why the browser's profile was not found; empty when it was.
        QString noProfile;
        void fail(const QString& why)
        {
            if (ok)
                error = why;
            ok = false;
        }
        void merge(const Result& other)
        {
            found = found || other.found;
            if (!other.ok)
                fail(other.error);
        }
    };

    QString measureWith(BrowerObj& category);
    Result cleanWith(BrowerObj& category);
    QString finishMeasure(BrowerObj& category, const QString& text, const Result& result);

    // Chromium-based browsers: the cookie databases of a profile, old and new place.
    static QStringList cookieDatabases(const QString& path);
    // Chromium-based browsers: the folders where sites keep their own data,
    // beside the cookie database `path`.
    static QStringList chromiumSiteData(const QString& path);
    // Chromium-based browsers: beside the history database `path`, the
    // databases whose rows name visited pages, and the files that only
    // cache them.
    static QStringList chromiumVisitDatabases(const QString& path, bool userDataAbove);
    static QStringList chromiumVisitFiles(const QString& path);
    // Firefox: the sites' own storage in `profile` (local storage, IndexedDB,
    // the old web storage database); the browser's and extensions' stay.
    static QStringList firefoxSiteData(const QString& profile);
    // Chromium-based browsers: entries of the site-data folders, counted.
    static qint64 siteDataEntries(const QStringList& folders);
    // Entries of `folder` whose names contain `part`, as full paths.
    static QStringList entriesContaining(const QString& folder, const QString& part, Qt::CaseSensitivity cs);
    Result removeAll(const QStringList& paths) const;
    // Firefox: why no profile is found for a category.
    QString noFirefoxProfile(const BrowerObj& category) const;
    // The cleans with what they found.
    Result googleClean(BrowerObj& category);
    Result firefoxClean(BrowerObj& category);
    Result operaClean(BrowerObj& category);
    // Firefox: the profile and its cache folder for a category, and the
    // folder of the profiles.ini it is read from.
    QString firefoxProfileFor(const BrowerObj& category) const;
    QString firefoxRootFor(const BrowerObj& category) const;
    static QString installDirOf(const BrowerObj& category);
    bool browserHoldsProfile(const BrowerObj& category) const;
    // The profile folders and paths a category works in.
    QStringList targetsOf(const BrowerObj& category) const;
    QString refusalFor(const BrowerObj& category) const;

    BrowserUser m_user;
    ToGetDB& m_db;
};
