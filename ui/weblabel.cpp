#include "ui/weblabel.h"

#include "platform/desktop.h"

#include <QMouseEvent>

#include <array>

namespace plumtide
{

namespace
{

// In TURLType's order.
constexpr std::array<const char*, 9> kPrefixes = { "file://", "ftp://", "gopher://", "http://",
    "https://", "mailto:", "news:", "telnet:", "wais:" };

} // namespace

QString URLPrefix(TURLType type)
{
    return QLatin1String(kPrefixes.at(static_cast<size_t>(type)));
}

std::pair<TURLType, QString> SplitAddress(const QString& address)
{
    for (size_t i = 0; i < kPrefixes.size(); ++i) {
        const QLatin1String prefix(kPrefixes[i]);
        if (address.startsWith(prefix))
            return { static_cast<TURLType>(i), address.mid(prefix.size()) };
    }
    return { TURLType::lnHttp, address };
}

QString HomePage()
{
    // Defined once, in the build.
    return QStringLiteral(PLUMTIDE_HOMEPAGE);
}

QString MakerAddress()
{
    return SplitAddress(HomePage()).second;
}

TWebLabel::TWebLabel(QWidget* owner)
    : QLabel(owner)
    , Open(&OpenWithDefaultHandler)
{
    // Its own style sheet, so that the window's colour for labels does not turn it white.
    setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
    QFont font = this->font();
    font.setPointSize(10);
    setFont(font);
    setUnderline(true);
    setCursor(Qt::PointingHandCursor);
}

void TWebLabel::SetHover(bool value)
{
    m_hover = value;
    setUnderline(!value);
}

void TWebLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
}

void TWebLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (m_hover)
        setUnderline(true);
}

void TWebLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    if (m_hover)
        setUnderline(false);
}

void TWebLabel::click()
{
    QString prefix = URLPrefix(m_linkTyp);
    if (m_link.isEmpty()) {
        // The first click of a label without a link goes to the maker, as a web page.
        prefix = URLPrefix(TURLType::lnHttp);
        m_link = MakerAddress();
    }
    if (Open)
        Open(prefix + m_link);
}

void TWebLabel::setUnderline(bool on)
{
    // The style is underlined or plain, nothing else: no bold, italic or strike-out.
    QFont font = this->font();
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    font.setUnderline(on);
    setFont(font);
}

} // namespace plumtide
