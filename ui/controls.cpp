#include "ui/controls.h"

#include "ui/image.h"

#include <QEvent>
#include <QLabel>
#include <QWidget>

namespace plumtide::controls
{

namespace
{

class FocusOutFilter : public QObject
{
public:
    FocusOutFilter(QObject* parent, std::function<void()> handler)
        : QObject(parent)
        , m_handler(std::move(handler))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut)
            m_handler();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_handler;
};

} // namespace

QLabel* label(QWidget* parent, const QString& name, const QString& text, QPoint at, bool bold)
{
    auto* result = new QLabel(text, parent);
    result->setObjectName(name);
    result->setProperty("bold", bold);
    result->move(at);
    result->adjustSize();
    return result;
}

TImage* image(QWidget* parent, const QString& name, const QRect& rect, const QPixmap& picture,
    const QString& hint, Qt::CursorShape cursor)
{
    auto* result = new TImage(parent);
    result->setObjectName(name);
    result->setGeometry(rect);
    if (!picture.isNull()) {
        result->setPixmap(picture);
        result->setScaledContents(true);
    }
    result->setToolTip(hint);
    result->setCursor(cursor);
    return result;
}

void tabOrder(std::initializer_list<QWidget*> chain)
{
    QWidget* previous = nullptr;
    for (QWidget* control : chain) {
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

void onFocusOut(QWidget* control, std::function<void()> handler)
{
    control->installEventFilter(new FocusOutFilter(control, std::move(handler)));
}

void setAllEnabled(std::initializer_list<QWidget*> controls, bool enabled)
{
    for (QWidget* control : controls)
        control->setEnabled(enabled);
}

} // namespace plumtide::controls
