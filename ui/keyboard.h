#pragma once

#include <QPointer>
#include <QWidget>

#include <initializer_list>

class QKeyEvent;
class QPushButton;

namespace plumtide
{

class TImage;

// The skinned windows' pictures that act on a click (Settings, Abort, the browse glyphs,
// Minimise, Exit, the close marks) have no keyboard of their own. These make them usable
// without a mouse: reached with Tab, pressed with Enter, Return or Space, and framed while
// they have the focus, since an invisible click zone has nothing of its own to light up.
namespace keyboard
{

// Makes each image a keyboard action (see above).
void MakeActions(std::initializer_list<TImage*> images);

// Lets Enter and Return press each button while it has the focus, and only then: outside a
// dialog a button takes no Enter by default.
void PressOnEnter(std::initializer_list<QPushButton*> buttons);

// Alt with a letter is a command (a button's underlined letter), never text: the fields
// drop it rather than type the letter, also when no button has that letter. AltGr, which
// types characters on many layouts, is left alone.
// Applies to every text field of `window` at this moment.
void NoAltTypingIn(QWidget& window);

// Whether a key press is Alt with a character, and not AltGr (Ctrl+Alt on some systems).
bool IsAltLetter(const QKeyEvent& event);

// Whether `widget` is a field the user types text into: its own shortcuts (Ctrl+Z among
// them) are meant for the text, never for the window.
bool IsTextField(const QWidget* widget);

// The panel that Esc closes: of the panels shown, the one that holds the focus, else the
// one on top (last among its siblings); null when none is shown.
QWidget* TopPanel(std::initializer_list<QWidget*> panels);

// Gives the focus back to a control of `window` that lost it only because work disabled it
// for a while: after Enter on "Start sort" the focus is on "Start sort" again, not wherever
// the focus went while the buttons were off. A focus the user moved meanwhile stays.
class TFocusKeeper : public QObject
{
public:
    explicit TFocusKeeper(QWidget& window);
    // Once the work is over: the control takes the focus back if it can.
    void giveBack();

private:
    QWidget& m_window;
    QPointer<QWidget> m_lost; // the control the work took the focus from
    QPointer<QWidget> m_movedTo; // where the focus went for that reason
};

} // namespace keyboard

} // namespace plumtide
