#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QMenu;
class QWidget;

namespace plumtide
{

// One icon in the desktop's notification area, as TSystray drives it: QSystemTrayIcon in
// the program, a fake in tests.
class TNotifyIcon : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether the desktop has a notification area at all (many have none by default).
    virtual bool isAvailable() const = 0;
    virtual void add(const QIcon& icon, const QString& tip) = 0;
    virtual void modify(const QIcon& icon, const QString& tip) = 0;
    virtual void remove() = 0;
    virtual void showMessage(const QString& title, const QString& text) = 0;

signals:
    void leftPressed();
    // A double click, or the one activation of trays that send no double clicks (those
    // that speak StatusNotifierItem: a click, or a middle click).
    void doubleClicked();
    void rightPressed();
};

// QSystemTrayIcon's icon.
std::unique_ptr<TNotifyIcon> CreateNotifyIcon();

// The program's icon in the notification area. Minimising `window` (by any means) puts
// the icon there and hides the window, so that the taskbar button goes; a double click on
// the icon (or the single activation of a tray that sends no double clicks) restores the
// window and removes the icon; a right press opens PopupMenu at the pointer. Where the
// desktop has no notification area, minimising is left alone: the window stays minimised
// on the taskbar rather than hidden beyond reach. The program's other windows (the
// settings window) hide while `window` is minimised and come back with it.
class TSystray : public QObject
{
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TSystray& sender)>;

    // `window` must outlive the component (the window usually owns it).
    explicit TSystray(QWidget& window, QObject* owner = nullptr,
        std::unique_ptr<TNotifyIcon> icon = CreateNotifyIcon());
    ~TSystray() override;

    // Whether minimising goes to the notification area and clicks on the icon count.
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    // Empty: the application's icon is shown.
    const QIcon& Icon() const { return m_icon; }
    void SetIcon(const QIcon& value);
    // The icon's tooltip, at most 63 characters; empty: no tooltip.
    const QString& Hint() const { return m_hint; }
    void SetHint(const QString& value);
    // Kept as a reference; the menu may die first.
    QMenu* PopupMenu() const;
    void SetPopupMenu(QMenu* value);

    TNotifyEvent OnDblClick; // RestoreApp at first
    TNotifyEvent OnLeftClick;
    TNotifyEvent OnRightClick; // ShowPopup at first

    // The icon is in the notification area.
    bool Shown() const { return m_shown; }
    // True while the component brings the window or its companions back, which is no new
    // showing of them.
    bool Restoring() const { return m_restoring; }
    // A notification from the icon, while it is shown.
    void ShowMessage(const QString& title, const QString& text);

    // Opens PopupMenu at the pointer.
    void ShowPopup();
    // Restores the window from wherever it is (the notification area, minimised, behind
    // other windows) and brings it to the front.
    void RestoreApp();

    virtual void DblClick();
    virtual void LeftClick();
    virtual void RightClick();
    // The window was minimised.
    virtual void AppMinimize();
    // The window was restored.
    virtual void AppRestore();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddIcon();
    void ModifyIcon();
    void DeleteIcon();
    QIcon shownIcon() const;
    // Shows the window again without it counting as a new showing.
    void showWindow();
    // The program's other windows on screen go while the window is minimised, and come back
    // with it, without counting as new showings either.
    void hideCompanions();
    void showCompanions();

    QWidget& m_window;
    std::unique_ptr<TNotifyIcon> m_notifyIcon;
    bool m_shown = false;
    bool m_enabled = true;
    bool m_restoring = false;
    QIcon m_icon;
    QString m_hint;
    QPointer<QMenu> m_popupMenu;
    QList<QPointer<QWidget>> m_hiddenCompanions;
};

} // namespace plumtide
