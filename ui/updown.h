#pragma once

#include "ui/optionsrules.h"

#include <QWidget>

class QKeyEvent;
class QLineEdit;
class QToolButton;

namespace plumtide
{

// A pair of arrows that hold a position within a range and step it by a fixed increment,
// optionally attached to a text field that shows the position. While attached, the
// position is the number the field shows (as far as it is one), so what the user typed
// there counts.
class TUpDown : public QWidget
{
    Q_OBJECT
public:
    TUpDown(Qt::Orientation orientation, TUpDownRange range, QWidget* parent);

    int Position() const;
    // Kept inside the range; the attached field shows it.
    void setPosition(int position);
    void setAssociate(QLineEdit* field);
    const TUpDownRange& range() const { return m_range; }

    // The arrow that raises the position (right or up) and the one that lowers it.
    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

protected:
    // With the focus, the arrow keys press the arrows.
    void keyPressEvent(QKeyEvent* event) override;

signals:
    // An arrow was pressed and the position stepped (or stayed at an end).
    void Click();

private:
    void step(int steps);

    TUpDownRange m_range;
    int m_position;
    QLineEdit* m_associate = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
};

} // namespace plumtide
