#pragma once

#include <QLabel>

#include <functional>

namespace plumtide
{

// The kinds of address a TWebLabel links to; each puts its prefix before the link.
enum class TURLType : quint8 {
    lnFile,
    lnFtp,
    lnGopher,
    lnHttp,
    lnHttps,
    lnMailto,
    lnNews,
    lnTelnet,
    lnWais,
};

// "file://", "ftp://", ..., "mailto:", "news:", "telnet:", "wais:".
QString URLPrefix(TURLType type);

// The program's home page ("https://..."), the maker's address.
QString HomePage();
// The same without its scheme: the default link of a TWebLabel.
QString MakerAddress();

// The kind and the rest of `address` ("https://host/x" gives lnHttps and "host/x"); an
// address with no known prefix is taken as a web address without its scheme.
std::pair<TURLType, QString> SplitAddress(const QString& address);

// A label that is a hyperlink: blue, underlined, with the hand cursor; a click opens the
// prefix of LinkTyp followed by Link, exactly as stored, with the desktop's default
// handler. With Hover set it is underlined only while the pointer is over it.
class TWebLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TWebLabel(QWidget* owner = nullptr);

    TURLType LinkTyp() const { return m_linkTyp; }
    void SetLinkTyp(TURLType value) { m_linkTyp = value; }
    bool Hover() const { return m_hover; }
    void SetHover(bool value);
    // The address without its prefix.
    const QString& Link() const { return m_link; }
    void SetLink(const QString& value) { m_link = value; }

    // What a click opens (the desktop's handler by default); tests record it instead.
    std::function<void(const QString& address)> Open;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void click();
    void setUnderline(bool on);

    TURLType m_linkTyp = TURLType::lnHttp;
    bool m_hover = false;
    QString m_link;
};

} // namespace plumtide
