#include "ui/keyboard.h"

#include "resources/palette.h"
#include "ui/image.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace plumtide::keyboard
{

namespace
{

// Presses an image from the keyboard.
class ActionKeys : public QObject
{
public:
    explicit ActionKeys(TImage& image)
        : QObject(&image)
        , m_image(image)
    {
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
            return false;
        emit m_image.clicked();
        return true;
    }

private:
    TImage& m_image;
};

// Drops Alt+letter before a field types it.
class AltFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress && IsAltLetter(*static_cast<QKeyEvent*>(event));
    }
};

} // namespace

bool IsAltLetter(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    return modifiers.testFlag(Qt::AltModifier) && !modifiers.testFlag(Qt::ControlModifier)
        && !modifiers.testFlag(Qt::MetaModifier) && !event.text().isEmpty()
        && event.text().at(0).isPrint();
}

void NoAltTypingIn(QWidget& window)
{
    for (QLineEdit* field : window.findChildren<QLineEdit*>())
        field->installEventFilter(new AltFilter(field));
}

bool IsTextField(const QWidget* widget)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return !line->isReadOnly();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(widget))
        return !text->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(widget))
        return !text->isReadOnly();
    return qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

void MakeActions(std::initializer_list<TImage*> images)
{
    // A frame in the skin's gold, as the buttons and fields show their focus.
    const QString ring
        = QStringLiteral("QLabel:focus { border: 2px solid %1; border-radius: 3px; }")
              .arg(QColor::fromRgb(palette::kGold).name());
    for (TImage* image : images) {
        image->setFocusPolicy(Qt::TabFocus);
        image->setStyleSheet(ring);
        image->installEventFilter(new ActionKeys(*image));
    }
}

void PressOnEnter(std::initializer_list<QPushButton*> buttons)
{
    for (QPushButton* button : buttons)
        button->setAutoDefault(true);
}

TFocusKeeper::TFocusKeeper(QWidget& window)
    : QObject(&window)
    , m_window(window)
{
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (!old || old->isEnabled() || old->window() != &m_window) {
            // The user's doing (or the window's activation): nothing to give back.
            m_lost = nullptr;
            m_movedTo = nullptr;
            return;
        }
        // Disabled in turn (Start sort, then Abort when the work ends): the first one counts.
        if (!m_lost || old != m_movedTo)
            m_lost = old;
        m_movedTo = now;
    });
}

void TFocusKeeper::giveBack()
{
    if (m_lost && QApplication::focusWidget() == m_movedTo.data() && m_lost->isEnabled()
        && m_lost->isVisible())
        m_lost->setFocus(Qt::OtherFocusReason);
    m_lost = nullptr;
    m_movedTo = nullptr;
}

QWidget* TopPanel(std::initializer_list<QWidget*> panels)
{
    QWidget* top = nullptr;
    for (QWidget* panel : panels) {
        if (!panel->isVisible())
            continue;
        if (panel->isAncestorOf(QApplication::focusWidget()))
            return panel;
        const QObjectList& siblings = panel->parentWidget()->children();
        if (!top || siblings.indexOf(panel) > siblings.indexOf(top))
            top = panel;
    }
    return top;
}

} // namespace plumtide::keyboard
