#include "AppDelegate.h"

#include "About/AboutViewController.h"
#include "About/UpdateCheck.h"
#include "About/UpdateViewController.h"
#include "Comm/CommUti.h"
#include "Comm/EULinkUrl.h"
#include "Comm/FontCache.h"
#include "Main/BaseWindow.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/MainWindowController.h"
#include "PopWindow/PanelController.h"
#include "ToolCon/DarkLook.h"
#include "platform/Background.h"
#include "platform/Layout.h"
#include "platform/Log.h"
#include "platform/SettingsFile.h"
#include "platform/SingleInstance.h"
#include "platform/StartUp.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace {

constexpr char kInstanceName[] = "com.tarnwick.vantoly";
constexpr char kUnrecognizedDrivePage[] = "https://www.tarnwick.example/vantoly/help/unrecognized-drive/";

// Tool tips come up after 0.3 s.
class ToolTipDelayStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay)
            return 300;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// How long ago the process started, from the kernel's own record, so the
// figure includes loading the program and its libraries.
qint64 processAgeMs()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name may hold spaces; the fields after it are plain.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double startTicks = fields[19].toDouble();
    const double upSeconds = uptime.readAll().split(' ').value(0).toDouble();
    return static_cast<qint64>(upSeconds * 1000.0 - startTicks * 1000.0 / ::sysconf(_SC_CLK_TCK));
}

// The start as the user sees it ends when the window first paints.
class FirstPaintLog : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            platform::log(QStringLiteral("main window shown %1 ms after start").arg(processAgeMs()));
            watched->removeEventFilter(this);
            deleteLater();
            platform::startUpEnded();
        }
        return false;
    }
};

}  // namespace

double AppDelegate::fittingScale(QSize window, QSize available, double current)
{
    if (window.isEmpty() || available.isEmpty() || current <= 0)
        return 0;
    const double fit = std::min(double(available.width()) / window.width(), double(available.height()) / window.height());
    if (fit >= 1.0)
        return 0;
    return std::max(0.1, std::floor(current * fit * 100.0) / 100.0);
}

QByteArray AppDelegate::scaleFactorToFit()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    bool set = false;
    double current = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&set);
    if (!set || current <= 0)
        current = 1.0;
    const double scale = fittingScale(QSize(kWindowWidth, kWindowHeight), screen->availableGeometry().size(), current);
    if (scale <= 0)
        return {};
    // Said once, at the start: the window is shown smaller rather than cut.
    platform::log(QStringLiteral("The window (%1x%2) does not fit the screen's %3x%4 at scale %5: shown at scale %6")
                      .arg(kWindowWidth)
                      .arg(kWindowHeight)
                      .arg(screen->availableGeometry().width())
                      .arg(screen->availableGeometry().height())
                      .arg(current * screen->devicePixelRatio())
                      .arg(scale * screen->devicePixelRatio()));
    return QByteArray::number(scale, 'f', 2);
}

AppDelegate::AppDelegate(QObject* parent) : QObject(parent)
{
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::awakeFromNib()
{
    const bool storeEraserTimes = platform::userDefaultInteger(kEraserTimesKey) == 0;
    // Stored as family and weight word; FontCache reads "Lato Bold" as Lato at bold weight.
    const QString regular = QFont(QStringLiteral("Lato")).family();
    const QString light = QFont(QStringLiteral("Lato Light")).family();
    const QString bold = QFont(QStringLiteral("Lato Bold")).family();
    const bool storeFonts = CommUti::getRegularFontName() != regular || CommUti::getLightFontName() != light ||
                            CommUti::getBoldFontName() != bold;
    // Every control of this launch reads these names, stored or not yet.
    FontCache::useNames(light, regular, bold);
    // A start that finds both stores as they should be writes nothing. Else
    // (a first start, other names) they are written off the main thread: a
    // synced write waits on a busy disk, and the window must not.
    if (storeEraserTimes || storeFonts) {
        m_startUpDefaults = std::async(std::launch::async, [=] {
            if (storeEraserTimes)
                platform::setUserDefaultInteger(kEraserTimesKey, 1);
            if (storeFonts)
                platform::SettingsFile::shared().setValues({{QStringLiteral("FontRegular"), regular},
                                                            {QStringLiteral("FontLight"), light},
                                                            {QStringLiteral("FontBold"), bold}});
        });
    }
    // Texts that name no font of their own (labels of the interface files,
    // menus, tool tips) take the regular font too, not the system's.
    QApplication::setFont(FontCache::regularFont(FontCache::kBodySize));
    // Tips in the program's dark look, as its panels, not the platform's pale yellow.
    DarkLook::applyToToolTips();
}

bool AppDelegate::checkAppDuplicateAndBringToFrontWithBundle()
{
    m_instance = std::make_unique<platform::SingleInstance>(platform::Layout::current().stateDir(),
                                                            QString::fromLatin1(kInstanceName));
    if (!m_instance->claim())
        return true;
    connect(m_instance.get(), &platform::SingleInstance::activationRequested, this, &AppDelegate::bringToFront);
    return false;
}

bool AppDelegate::applicationDidFinishLaunching()
{
    if (checkAppDuplicateAndBringToFrontWithBundle())
        return false;
    qApp->setStyle(new ToolTipDelayStyle);
    // The tools' first scans wait for the window's first paint; a window
    // that never paints (kept off the screen) lets them go after a while.
    platform::startUpBegins();
    QTimer::singleShot(3000, this, [] {
        if (platform::startUpUnderWay())
            platform::startUpEnded();
    });
    if (!m_mainWin) {
        m_mainWin = std::make_unique<MainWindowController>();
        m_mainWin->setMenuBar(buildMenus());
        // The window closing, by its button or by the window manager, ends the program.
        connect(m_mainWin.get(), &MainWindowController::windowWillClose, this, [] { QCoreApplication::exit(0); });
    }
    m_mainWin->window()->installEventFilter(new FirstPaintLog(m_mainWin.get()));
    m_mainWin->showWindow();
    toCheckUpdate();
    return true;
}

void AppDelegate::bringToFront()
{
    if (!m_mainWin)
        return;
    // The desktop asks for the window again: back on the screen, centred.
    m_mainWin->showWindow();
}

QMenuBar* AppDelegate::buildMenus()
{
    auto* bar = new QMenuBar;
    QMenu* app = bar->addMenu(QStringLiteral("Tarnwick Vantoly"));
    app->addAction(QStringLiteral("About Tarnwick Vantoly"), this, &AppDelegate::aboutAction);
    app->addAction(QStringLiteral("Check for Updates..."), this, &AppDelegate::checkUpdateAction);
    app->addSeparator();
    QAction* quit = app->addAction(QStringLiteral("Quit Tarnwick Vantoly"), this, &AppDelegate::exitApp);
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));

    QMenu* window = bar->addMenu(QStringLiteral("Window"));
    QAction* minimise = window->addAction(QStringLiteral("Minimize"), this, [this] {
        if (m_mainWin)
            m_mainWin->tabBarView()->clickMinimizeButton();
    });
    minimise->setShortcut(QKeySequence(QStringLiteral("Ctrl+M")));
    window->addSeparator();
    if (m_mainWin)
        window->addActions(m_mainWin->toolActions());
    window->addSeparator();
    window->addAction(QStringLiteral("Tarnwick Vantoly"), this, &AppDelegate::bringToFront);

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    QAction* guide = help->addAction(QStringLiteral("Tarnwick Vantoly Help"), this, &AppDelegate::userGuideMenuAction);
    guide->setShortcut(QKeySequence(QStringLiteral("Ctrl+?")));
    help->addAction(QStringLiteral("Support Center"), this, &AppDelegate::supportCenterAction);
    help->addAction(QStringLiteral("Online Help"), this, &AppDelegate::onlineHelp);
    help->addSeparator();
    help->addAction(QStringLiteral("Fix Unrecognized Drive"), this, &AppDelegate::FixUnrecognizedDriveMenu);

    for (QAction* a : {quit, minimise, guide})
        a->setShortcutContext(Qt::ApplicationShortcut);
    return bar;
}

void AppDelegate::toCheckUpdate()
{
    const QString url = EULinkUrl::GetUrl(QStringLiteral("IniURL"));
    auto probe = UpdateCheck::networkProbe();
    platform::runInBackground(
        this,
        [url, probe] {
            const auto list = UpdateCheck::fetchUpdateList(url);
            if (!UpdateCheck::isNewer(list, UpdateCheck::localBuildNumber()))
                return false;
            return probe();
        },
        [this](bool offer) {
            if (offer)
                offerUpdateWhenFree();
        });
}

void AppDelegate::offerUpdateWhenFree()
{
    // Never open inside another modal panel: wait until it has gone.
    if (QApplication::activeModalWidget() || m_terminating) {
        if (!m_terminating)
            QTimer::singleShot(1000, this, &AppDelegate::offerUpdateWhenFree);
        return;
    }
    checkUpdateAction();
}

void AppDelegate::aboutAction()
{
    // Chosen again while it is open: the old dialog goes, a fresh one opens.
    if (aboutWC)
        aboutWC->closePanel();
    aboutWC = new AboutViewController;
    // Returns once the dialog has closed; the controller has gone with its panel.
    runModalPanel(aboutWC, m_mainWin ? m_mainWin->window() : nullptr);
}

void AppDelegate::checkUpdateAction()
{
    if (updateVC)
        updateVC->closePanel();
    updateVC = new UpdateViewController;
    runModalPanel(updateVC, m_mainWin ? m_mainWin->window() : nullptr);
}

void AppDelegate::openLink(const QString& key)
{
    const QString url = EULinkUrl::GetUrl(key);
    if (!url.isEmpty())
        platform::openUrl(url);
}

void AppDelegate::userGuideMenuAction() { openLink(QStringLiteral("UserGuide")); }
void AppDelegate::supportCenterAction() { openLink(QStringLiteral("SupportTeam")); }
void AppDelegate::onlineHelp() { openLink(QStringLiteral("OnlineHelp")); }

void AppDelegate::FixUnrecognizedDriveMenu()
{
    const QString configured = EULinkUrl::GetUrl(QStringLiteral("FixUnrecognizedDrive"));
    platform::openUrl(configured.isEmpty() ? QString::fromLatin1(kUnrecognizedDrivePage) : configured);
}

void AppDelegate::exitApp()
{
    // Quit goes the way the window's close does, so a tool with work that
    // must not be cut off (a removal going on) can ask first.
    if (m_mainWin && m_mainWin->window()->isVisible() && !m_mainWin->window()->close())
        return;
    applicationWillTerminate();
    QCoreApplication::exit(0);
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminating)
        return;
    m_terminating = true;
    // The start-up defaults are on disk before the process ends.
    if (m_startUpDefaults.valid())
        m_startUpDefaults.wait();
    if (m_mainWin) {
        m_mainWin->removeFolderInWipeVolumes();
        m_mainWin->window()->hide();
    }
}
