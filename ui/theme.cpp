#include "ui/theme.h"

#include "resources/palette.h"
#include "ui/artwork.h"

#include <QColor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace plumtide
{

namespace
{

QString css(QRgb colour)
{
    return QColor::fromRgb(colour).name();
}

} // namespace

QFont WindowFont()
{
    // Condensed, so captions sized for the narrow fonts of the original layout fit their
    // buttons; the plain face stands in where the condensed one is not installed.
    QFont font;
    font.setFamilies({ QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans") });
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QString WindowStyleSheet()
{
    using namespace palette;
    QString sheet = QStringLiteral(R"(
QLabel { color: %text; background: transparent; }
#pnlBrowse, #pnlNieuwe { background: %navyDeep; }
QLabel[bold="true"] { font-weight: bold; }
#lblVersion { color: %mutedText; }
#WebLabel1 { background: %silver; padding: 0 3px; }

QPushButton {
    color: %text;
    border: 1px solid %buttonBorder; border-radius: 4px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %buttonTop, stop:1 %buttonBottom);
    padding: 1px 0px;
}
QPushButton:hover { border-color: %gold; }
QPushButton:pressed { background: %buttonBottom; }
QPushButton:focus { border-color: %gold; }
QPushButton:disabled {
    color: %mutedText; border-color: %trace;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %board, stop:1 %boardDeep);
}

QToolButton {
    color: %text; border: 1px solid %buttonBorder; border-radius: 2px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %buttonTop, stop:1 %buttonBottom);
}
QToolButton:hover { border-color: %gold; }
QToolButton:pressed { background: %buttonBottom; }

QTabBar::tab {
    color: %mutedText; font-weight: bold; padding: 2px 9px 3px 9px; margin-left: 3px;
    border: 1px solid %buttonBorder; border-bottom: none;
    border-top-left-radius: 4px; border-top-right-radius: 4px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %buttonTop, stop:1 %buttonBottom);
}
QTabBar::tab:hover { color: %text; }
QTabBar::tab:selected { color: %text; border-color: %gold; background: %navyDeep; }
QTabBar::tab:focus { color: %gold; text-decoration: underline; }
QLabel[keys="true"]:focus { border: 1px solid %gold; border-radius: 2px; }
#focusRing { border: 1px solid %gold; border-radius: 3px; background: transparent; }
#pnlMore QLabel:disabled { color: %mutedText; }

QProgressBar { background: %field; border: 1px solid %fieldBorder; border-radius: 2px; }
QProgressBar::chunk {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %gold, stop:1 %goldDeep);
}

QLineEdit {
    color: %ink; background: %field; selection-background-color: %selection;
    border: 1px solid %fieldBorder; border-radius: 2px; padding: 0 3px;
}
QLineEdit:focus { border-color: %gold; }
QLineEdit:disabled { color: %disabledText; background: %fieldDisabled; }

QTreeView, QListView, QPlainTextEdit {
    color: %ink; background: %field; alternate-background-color: %alternate;
    border: 1px solid %fieldBorder;
    selection-background-color: %selection; selection-color: %text;
}
QTreeView:focus, QListView:focus { border-color: %gold; }
QTreeView:disabled, QListView:disabled, QPlainTextEdit:disabled { color: %disabledText; }
QHeaderView {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %buttonTop, stop:1 %buttonBottom);
    border-bottom: 1px solid %gold;
}
QHeaderView::section {
    color: %text; font-weight: bold; padding: 2px 5px;
    border: none; border-right: 1px solid %trace; border-bottom: 1px solid %gold;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %buttonTop, stop:1 %buttonBottom);
}

QScrollBar:vertical { background: %alternate; width: 14px; margin: 0; }
QScrollBar:horizontal { background: %alternate; height: 14px; margin: 0; }
QScrollBar::handle { background: %buttonBorder; border-radius: 4px; margin: 2px; }
QScrollBar::handle:hover { background: %traceLit; }
QScrollBar::handle:vertical { min-height: 24px; }
QScrollBar::handle:horizontal { min-width: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }

QMenu {
    color: %text; background: %board; border: 1px solid %traceLit; padding: 3px;
}
QMenu::item { padding: 4px 18px 4px 26px; }
QMenu::item:selected { background: %selection; }
QMenu::item:disabled { color: %mutedDisabled; }
QMenu::icon { padding-left: 6px; }

QMessageBox { background: %board; }

QToolTip {
    color: %ink; background: #fffbe8; border: 1px solid %goldDeep; padding: 2px 4px;
}
)");
    const std::pair<const char*, QRgb> colours[] = {
        { "%text", kText },
        { "%navyDeep", kNavyDeep },
        { "%mutedText", kTextMuted },
        { "%mutedDisabled", kTraceLit },
        { "%buttonBorder", kButtonBorder },
        { "%buttonTop", kButtonTop },
        { "%buttonBottom", kButtonBottom },
        { "%goldDeep", kGoldDeep },
        { "%gold", kGold },
        { "%traceLit", kTraceLit },
        { "%trace", kTrace },
        { "%boardDeep", kBoardDeep },
        { "%board", kBoard },
        { "%ink", kInk },
        { "%fieldDisabled", kFieldDisabled },
        { "%fieldBorder", kFieldBorder },
        { "%field", kField },
        { "%selection", kSelection },
        { "%alternate", kListAlternate },
        { "%silver", kSilver },
        { "%disabledText", kDisabledText },
    };
    // Longer names first where one is a prefix of another (the table is ordered so).
    for (const auto& [name, colour] : colours)
        sheet.replace(QLatin1String(name), css(colour));
    return sheet;
}

QPalette WindowPalette()
{
    using namespace palette;
    const auto colour = [](QRgb rgb) { return QColor::fromRgb(rgb); };
    QPalette result(colour(kButtonTop), colour(kBoard));
    const std::pair<QPalette::ColorRole, QRgb> roles[] = {
        { QPalette::WindowText, kText },
        { QPalette::Base, kField },
        { QPalette::AlternateBase, kListAlternate },
        { QPalette::Text, kInk },
        { QPalette::ButtonText, kText },
        { QPalette::BrightText, kText },
        { QPalette::Highlight, kSelection },
        { QPalette::HighlightedText, kText },
        { QPalette::ToolTipBase, kSilver },
        { QPalette::ToolTipText, kInk },
        { QPalette::PlaceholderText, kDisabledText },
    };
    for (const auto& [role, rgb] : roles)
        result.setColor(role, colour(rgb));
    // Disabled fields stay light with grey text, as the style sheet's line edits do.
    result.setColor(QPalette::Disabled, QPalette::Base, colour(kFieldDisabled));
    result.setColor(QPalette::Disabled, QPalette::Text, colour(kDisabledText));
    result.setColor(QPalette::Disabled, QPalette::WindowText, colour(kTextMuted));
    result.setColor(QPalette::Disabled, QPalette::ButtonText, colour(kTextMuted));
    return result;
}

namespace
{

int placeAlong(int wanted, int length, int start, int room)
{
    if (length > room)
        return start;
    return std::clamp(wanted, start, start + room - length);
}

} // namespace

QPoint PlaceInside(QSize size, QPoint wanted, const QRect& available)
{
    if (available.isEmpty())
        return wanted;
    return { placeAlong(wanted.x(), size.width(), available.left(), available.width()),
        placeAlong(wanted.y(), size.height(), available.top(), available.height()) };
}

void SkinWindow(QWidget& window, const QString& name, const QString& caption, QSize clientSize,
    QPoint screenPosition)
{
    window.setObjectName(name);
    window.setWindowTitle(caption);
    window.setWindowIcon(ProgramIcon());
    window.setFont(WindowFont());
    window.setStyleSheet(WindowStyleSheet());
    window.setFixedSize(clientSize);
    // The fixed places suit a screen of 1024 x 768 or more at 100 %; a smaller screen, or a
    // larger scale, must not put the close mark or the buttons out of reach.
    const QScreen* screen = QGuiApplication::screenAt(screenPosition);
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    window.move(screen == nullptr
            ? screenPosition
            : PlaceInside(clientSize, screenPosition, screen->availableGeometry()));
}

} // namespace plumtide
