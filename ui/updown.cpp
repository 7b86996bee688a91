#include "ui/updown.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

namespace plumtide
{

TUpDown::TUpDown(Qt::Orientation orientation, TUpDownRange range, QWidget* parent)
    : QWidget(parent)
    , m_range(range)
    , m_position(range.min)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    const bool horizontal = orientation == Qt::Horizontal;
    m_up->setArrowType(horizontal ? Qt::RightArrow : Qt::UpArrow);
    m_down->setArrowType(horizontal ? Qt::LeftArrow : Qt::DownArrow);
    auto* layout
        = new QBoxLayout(horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Left or top first, as the arrows point.
    layout->addWidget(horizontal ? m_down : m_up);
    layout->addWidget(horizontal ? m_up : m_down);
    for (QToolButton* arrow : { m_up, m_down }) {
        arrow->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
    }
    setFocusPolicy(Qt::TabFocus);
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

int TUpDown::Position() const
{
    if (m_associate)
        return PositionFromText(m_range, m_associate->text(), m_position);
    return m_position;
}

void TUpDown::setPosition(int position)
{
    m_position = ClampToRange(m_range, position);
    if (m_associate)
        m_associate->setText(QString::number(m_position));
}

void TUpDown::setAssociate(QLineEdit* field)
{
    m_associate = field;
    setPosition(m_position);
}

void TUpDown::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        step(1);
        return;
    case Qt::Key_Down:
    case Qt::Key_Left:
        step(-1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TUpDown::step(int steps)
{
    setPosition(StepUpDown(m_range, Position(), steps));
    emit Click();
}

} // namespace plumtide
