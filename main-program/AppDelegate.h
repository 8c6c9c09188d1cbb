#pragma once
#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QPointer>

#include <future>
#include <memory>
#include <optional>

class MainWindowController;
class AboutViewController;
class UpdateViewController;
class QMenuBar;
class QWidget;
namespace platform {
class SingleInstance;
}

// The program's life from launch to exit: one instance, the start-up
// defaults, the main window, the launch-time update check, the menus, and
// the ways out, each of which removes the wiper's fill folder first.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    // The main window's size in the program's own (logical) pixels.
    static constexpr int kWindowWidth = 960;
    static constexpr int kWindowHeight = 608;
    // The scale factor (as QT_SCALE_FACTOR reads it) at which a window of
    // `window` logical pixels fits `available`, logical pixels at the scale
    // `current`; 0 when it fits as it is. Rounded down to hundredths.
    static double fittingScale(QSize window, QSize available, double current);
    // Asked once the application exists and before anything is shown: the
    // QT_SCALE_FACTOR to start again with when the window would not fit the
    // primary screen, else empty. Says so in the log.
    static QByteArray scaleFactorToFit();

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // Start-up defaults: `EraserTimes` and the font names, written only when
    // they differ from what is stored, and then not on the main thread.
    void awakeFromNib();
    // False when another instance runs: it has been asked to come forward
    // and this process should leave with status 0.
    bool applicationDidFinishLaunching();

    MainWindowController* mainWin() const { return m_mainWin.get(); }

public slots:
    void aboutAction();
    void checkUpdateAction();
    void userGuideMenuAction();
    void supportCenterAction();
    void onlineHelp();
    void FixUnrecognizedDriveMenu();
    void exitApp();
    // The application is about to end, whichever way.
    void applicationWillTerminate();
    void bringToFront();

private:
    bool checkAppDuplicateAndBringToFrontWithBundle();
    void toCheckUpdate();
    void offerUpdateWhenFree();
    QMenuBar* buildMenus();
    void openLink(const QString& key);

    std::unique_ptr<MainWindowController> m_mainWin;
    std::unique_ptr<platform::SingleInstance> m_instance;
    QPointer<AboutViewController> aboutWC;
    QPointer<UpdateViewController> updateVC;
    bool m_terminating = false;
    // The start-up defaults' write, when this start has one.
    std::future<void> m_startUpDefaults;
};
