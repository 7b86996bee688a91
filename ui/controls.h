#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <initializer_list>

class QLabel;
class QWidget;

namespace plumtide
{

class TImage;

// Small makers for the controls of the skinned windows, which sit at fixed positions.
namespace controls
{

// A label on the artwork, sized to its text; `bold` selects the bold style.
QLabel* label(QWidget* parent, const QString& name, const QString& text, QPoint at, bool bold);

// A picture scaled into its rectangle, or an invisible zone when `picture` is empty.
TImage* image(QWidget* parent, const QString& name, const QRect& rect, const QPixmap& picture,
    const QString& hint, Qt::CursorShape cursor);

// Sets the keyboard focus order: each control after the one before it.
void tabOrder(std::initializer_list<QWidget*> chain);

// Enables or disables every control of the list.
void setAllEnabled(std::initializer_list<QWidget*> controls, bool enabled);

// Runs `handler` each time `control` loses the keyboard focus.
void onFocusOut(QWidget* control, std::function<void()> handler);

} // namespace controls

} // namespace plumtide
