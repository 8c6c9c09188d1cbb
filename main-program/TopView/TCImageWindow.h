#pragma once
#include "TopView/TCWindowButton.h"

#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractButton;
class QZTitlebarContainer;
class StandardWindowButton;
class TCImageWindow;

// What the owner of an image window may answer.
class TCImageWindowDelegate
{
public:
    virtual ~TCImageWindowDelegate() = default;
    virtual QRectF windowWillPositionSheet(TCImageWindow*, QWidget*, const QRectF& proposed) { return proposed; }
};

// The delegate the window really has: sheets are its own business, so they
// always come out of the drawn bar's lower edge.
class TCImageWindowDelegateProxy
{
public:
    explicit TCImageWindowDelegateProxy(TCImageWindow* window) : m_window(window) {}
    TCImageWindowDelegate* secondaryDelegate = nullptr;
    QRectF windowWillPositionSheet(QWidget* sheet, const QRectF& proposed) const;

private:
    TCImageWindow* m_window;
};

// A frameless window with a title bar of its own: white with rounded top
// corners, carrying the window's close, minimise and zoom buttons, which
// replacement picture buttons may take the place of.
class TCImageWindow : public QWidget
{
    Q_OBJECT
public:
    // The bar and button metrics of this platform, used as defaults.
    static constexpr double kTitleBarHeight = 22;
    static constexpr double kButtonsLeftMargin = 8;
    static constexpr double kButtonSeparation = 8;

    explicit TCImageWindow(QWidget* parent = nullptr);
    ~TCImageWindow() override;

    void setDelegate(TCImageWindowDelegate* delegate);
    TCImageWindowDelegate* delegate() const;
    TCImageWindowDelegateProxy* delegateProxy() const { return m_delegateProxy.get(); }
    // A sheet placed as the delegate proxy says, its top at the bar's lower edge.
    QRectF sheetRect(QWidget* sheet, const QRectF& proposed) const;

    double titleBarHeight() const { return m_titleBarHeight; }
    void setTitleBarHeight(double height);
    double cachedTitleBarHeight() const { return m_cachedTitleBarHeight; }
    QWidget* titleBarView() const { return m_titleBarView; }
    void setTitleBarView(QWidget* view);
    QZTitlebarContainer* titleBarContainer() const { return m_titleBarContainer; }

    bool centerTrafficLightButtons() const { return m_centerTrafficLightButtons; }
    void setCenterTrafficLightButtons(bool centre);
    bool verticalTrafficLightButtons() const { return m_verticalTrafficLightButtons; }
    void setVerticalTrafficLightButtons(bool vertical);
    double trafficLightButtonsLeftMargin() const { return m_trafficLightButtonsLeftMargin; }
    void setTrafficLightButtonsLeftMargin(double margin);
    double trafficLightSeparation() const { return m_trafficLightSeparation; }
    void setTrafficLightSeparation(double separation);
    double fullScreenButtonRightMargin() const { return m_fullScreenButtonRightMargin; }
    void setFullScreenButtonRightMargin(double margin);
    bool centerFullScreenButton() const { return m_centerFullScreenButton; }
    void setCenterFullScreenButton(bool centre);
    bool showsTitle() const { return m_showsTitle; }
    void setShowsTitle(bool shows);
    bool showsBaselineSeparator() const { return m_showsBaselineSeparator; }
    void setShowsBaselineSeparator(bool shows);

    // Plain stores.
    double trafficLightButtonsTopMargin = 3;
    double fullScreenButtonTopMargin = 3;
    double topButtonMoveUp = 0;
    bool hideTitleBarInFullScreen = false;
    bool showsTitleInFullscreen = false;
    QColor titleTextColor, inactiveTitleTextColor;
    QColor titleBarStartColor, titleBarEndColor, baselineSeparatorColor;
    QColor inactiveTitleBarStartColor, inactiveTitleBarEndColor, inactiveBaselineSeparatorColor;
    // Replaces the bar's own drawing: (painter, draws as main, bounds, outline).
    std::function<void(QPainter&, bool, const QRectF&, const QPainterPath&)> titleBarDrawingBlock;

    TCWindowButton* closeButton() const { return m_closeButton; }
    TCWindowButton* minimizeButton() const { return m_minimizeButton; }
    TCWindowButton* zoomButton() const { return m_zoomButton; }
    TCWindowButton* fullScreenButton() const { return m_fullScreenButton; }
    void setCloseButton(TCWindowButton* button);
    void setMinimizeButton(TCWindowButton* button);
    void setZoomButton(TCWindowButton* button);
    void setFullScreenButton(TCWindowButton* button);

    // The window's own three buttons, shown while no replacement is set.
    StandardWindowButton* standardWindowButton(int kind) const;

    QWidget* contentView() const { return m_contentView; }
    void setContentView(QWidget* view);

    // Re-lays the bar, the buttons and the content view.
    void layoutTitleBar();
    // A resize by dragging has ended: the replacement buttons forget the pointer.
    void viewDidEndLiveResize();
    static constexpr int kLiveResizeSettleMs = 250;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void replaceButton(QPointer<TCWindowButton>& slot, TCWindowButton* button, std::function<void()> action);
    QAbstractButton* shownButton(int kind) const;
    void redrawBar();

    std::unique_ptr<TCImageWindowDelegateProxy> m_delegateProxy;
    double m_titleBarHeight = kTitleBarHeight;
    double m_cachedTitleBarHeight = kTitleBarHeight;
    QPointer<QWidget> m_titleBarView;
    QZTitlebarContainer* m_titleBarContainer = nullptr;
    bool m_showsBaselineSeparator = true;
    bool m_centerTrafficLightButtons = true;
    bool m_verticalTrafficLightButtons = false;
    double m_trafficLightButtonsLeftMargin = kButtonsLeftMargin;
    double m_trafficLightSeparation = kButtonSeparation;
    double m_fullScreenButtonRightMargin = 0;
    bool m_setFullScreenButtonRightMargin = false;
    bool m_centerFullScreenButton = false;
    bool m_showsTitle = false;
    bool m_barHiddenForFullScreen = false;
    QPointer<TCWindowButton> m_closeButton, m_minimizeButton, m_zoomButton, m_fullScreenButton;
    StandardWindowButton* m_standardButtons[3] = {nullptr, nullptr, nullptr};
    QPointer<QWidget> m_contentView;
    QTimer m_liveResizeEnd;
};
