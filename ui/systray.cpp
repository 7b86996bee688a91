#include "ui/systray.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QScopedValueRollback>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include <utility>

namespace plumtide
{

namespace
{

// Room for 63 characters and the terminating zero in the notification area's records.
constexpr qsizetype kMaxHint = 63;

class TQtNotifyIcon : public TNotifyIcon
{
public:
    TQtNotifyIcon()
    {
        // No context menu of its own: a right press goes through TSystray, which ignores it
        // while disabled.
        connect(&m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    emit leftPressed();
                    if (activatesOnce())
                        emit doubleClicked();
                    break;
                case QSystemTrayIcon::MiddleClick:
                    if (activatesOnce())
                        emit doubleClicked();
                    break;
                case QSystemTrayIcon::DoubleClick:
                    emit doubleClicked();
                    break;
                case QSystemTrayIcon::Context:
                    emit rightPressed();
                    break;
                default:
                    break;
                }
            });
    }

    bool isAvailable() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
    void add(const QIcon& icon, const QString& tip) override
    {
        modify(icon, tip);
        m_tray.show();
    }
    void modify(const QIcon& icon, const QString& tip) override
    {
        m_tray.setIcon(icon);
        m_tray.setToolTip(tip);
    }
    void remove() override { m_tray.hide(); }
    void showMessage(const QString& title, const QString& text) override
    {
        m_tray.showMessage(title, text, m_tray.icon());
    }

private:
    // Trays that speak StatusNotifierItem (Plasma's, GNOME's with its extension) send one
    // Activate or SecondaryActivate for a click and never a double click; Qt talks to
    // them whenever their watcher is on the session bus.
    static bool activatesOnce()
    {
        const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        return bus != nullptr
            && bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
    }

    QSystemTrayIcon m_tray;
};

} // namespace

std::unique_ptr<TNotifyIcon> CreateNotifyIcon()
{
    return std::make_unique<TQtNotifyIcon>();
}

TSystray::TSystray(QWidget& window, QObject* owner, std::unique_ptr<TNotifyIcon> icon)
    : QObject(owner)
    , m_window(window)
    , m_notifyIcon(std::move(icon))
{
    OnDblClick = [](TSystray& sender) { sender.RestoreApp(); };
    OnRightClick = [](TSystray& sender) { sender.ShowPopup(); };
    connect(m_notifyIcon.get(), &TNotifyIcon::leftPressed, this, &TSystray::LeftClick);
    connect(m_notifyIcon.get(), &TNotifyIcon::doubleClicked, this, &TSystray::DblClick);
    connect(m_notifyIcon.get(), &TNotifyIcon::rightPressed, this, &TSystray::RightClick);
    m_window.installEventFilter(this);
}

TSystray::~TSystray()
{
    m_window.removeEventFilter(this);
    DeleteIcon();
}

void TSystray::SetEnabled(bool value)
{
    if (value == m_enabled)
        return;
    m_enabled = value;
    if (!m_window.isMinimized())
        return;
    if (value) {
        AppMinimize();
    } else {
        // Back to an ordinary minimised window with its taskbar button.
        DeleteIcon();
        showWindow();
    }
}

void TSystray::SetIcon(const QIcon& value)
{
    m_icon = value;
    if (m_enabled)
        ModifyIcon();
}

void TSystray::SetHint(const QString& value)
{
    QString hint = value.left(kMaxHint);
    if (hint.size() == kMaxHint && hint.back().isHighSurrogate())
        hint.chop(1);
    if (hint == m_hint)
        return;
    m_hint = hint;
    if (m_enabled)
        ModifyIcon();
}

QMenu* TSystray::PopupMenu() const
{
    return m_popupMenu;
}

void TSystray::SetPopupMenu(QMenu* value)
{
    m_popupMenu = value;
}

void TSystray::ShowMessage(const QString& title, const QString& text)
{
    if (m_shown)
        m_notifyIcon->showMessage(title, text);
}

void TSystray::ShowPopup()
{
    if (m_popupMenu)
        m_popupMenu->popup(QCursor::pos());
}

void TSystray::RestoreApp()
{
    const QScopedValueRollback restoring(m_restoring, true);
    // Leaving the minimised state runs AppRestore, which takes the icon away.
    m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
}

void TSystray::DblClick()
{
    if (m_enabled && OnDblClick)
        OnDblClick(*this);
}

void TSystray::LeftClick()
{
    if (m_enabled && OnLeftClick)
        OnLeftClick(*this);
}

void TSystray::RightClick()
{
    if (m_enabled && OnRightClick)
        OnRightClick(*this);
}

void TSystray::AppMinimize()
{
    if (!m_enabled || m_shown || !m_notifyIcon->isAvailable())
        return;
    AddIcon();
    m_window.hide();
}

void TSystray::AppRestore()
{
    if (!m_enabled || !m_shown)
        return;
    DeleteIcon();
    showWindow();
    m_window.raise();
    m_window.activateWindow();
}

void TSystray::hideCompanions()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window != &m_window && window->isVisible()
            && (type == Qt::Window || type == Qt::Dialog)) {
            m_hiddenCompanions.append(window);
            window->hide();
        }
    }
}

void TSystray::showCompanions()
{
    const QScopedValueRollback restoring(m_restoring, true);
    const QList<QPointer<QWidget>> companions = std::exchange(m_hiddenCompanions, {});
    for (const QPointer<QWidget>& window : companions) {
        if (window) {
            window->show();
            window->raise();
        }
    }
}

bool TSystray::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool was = change->oldState() & Qt::WindowMinimized;
        const bool is = m_window.isMinimized();
        if (!was && is) {
            // Later: showMinimized() shows the window again after announcing the change.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!m_window.isMinimized())
                        return;
                    // All of the program's windows go together, whether into the
                    // notification area or onto the taskbar.
                    hideCompanions();
                    AppMinimize();
                },
                Qt::QueuedConnection);
        } else if (was && !is) {
            AppRestore();
            showCompanions();
        }
    }
    return QObject::eventFilter(watched, event);
}

void TSystray::AddIcon()
{
    if (m_shown)
        return;
    m_notifyIcon->add(shownIcon(), m_hint);
    m_shown = true;
}

void TSystray::ModifyIcon()
{
    if (m_shown)
        m_notifyIcon->modify(shownIcon(), m_hint);
}

void TSystray::DeleteIcon()
{
    if (!m_shown)
        return;
    m_notifyIcon->remove();
    m_shown = false;
}

QIcon TSystray::shownIcon() const
{
    return m_icon.isNull() ? QGuiApplication::windowIcon() : m_icon;
}

void TSystray::showWindow()
{
    const QScopedValueRollback restoring(m_restoring, true);
    m_window.show();
}

} // namespace plumtide
