// The notification-area icon (through a fake notification area), where windows are placed
// on the screen, and the hyperlink label.

#include "ui/systray.h"
#include "ui/theme.h"
#include "ui/weblabel.h"

#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

// The notification area as the user sees it; it outlives the fake that TSystray owns.
struct NotificationArea {
    bool available = true;
    bool shown = false;
    int adds = 0;
    QString tip;
};

class FakeNotifyIcon : public TNotifyIcon
{
public:
    explicit FakeNotifyIcon(NotificationArea& area)
        : area(area)
    {
    }
    bool isAvailable() const override { return area.available; }
    void add(const QIcon&, const QString& tip) override
    {
        area = { true, true, area.adds + 1, tip };
    }
    void modify(const QIcon&, const QString& tip) override { area.tip = tip; }
    void remove() override { area.shown = false; }
    void showMessage(const QString&, const QString&) override { }
    NotificationArea& area;
};

class SystrayTest : public ::testing::Test
{
protected:
    SystrayTest()
    {
        auto icon = std::make_unique<FakeNotifyIcon>(area);
        fake = icon.get();
        tray = std::make_unique<TSystray>(window, nullptr, std::move(icon));
        tray->SetHint(QStringLiteral("Plumtide"));
        window.show();
    }

    void minimise()
    {
        window.showMinimized();
        QCoreApplication::processEvents(); // the icon comes once the window is minimised
    }

    // The window has a taskbar button: shown, whether minimised or not.
    bool onTaskbar() const { return window.isVisible(); }

    NotificationArea area;
    QWidget window;
    FakeNotifyIcon* fake = nullptr;
    std::unique_ptr<TSystray> tray;
};

} // namespace

// Restoring by a double click, the menu, and a desktop without a notification area are
// seen by the end-to-end test on a real one.
TEST_F(SystrayTest, MinimisingWhileShownChangesNothingAndTheIconGoesWithTheComponent)
{
    minimise();
    EXPECT_TRUE(area.shown);
    EXPECT_FALSE(onTaskbar());
    tray->AppMinimize();
    EXPECT_EQ(area.adds, 1);
    tray.reset();
    EXPECT_FALSE(area.shown);
}

TEST_F(SystrayTest, DisabledMinimisingKeepsTheTaskbarButtonAndClicksAreIgnored)
{
    tray->SetEnabled(false);
    minimise();
    EXPECT_FALSE(area.shown);
    EXPECT_TRUE(onTaskbar());
    // Enabled while minimised: into the notification area; disabled again: back out.
    tray->SetEnabled(true);
    EXPECT_TRUE(area.shown && !onTaskbar());
    tray->SetEnabled(false);
    EXPECT_TRUE(!area.shown && onTaskbar() && window.isMinimized());

    // An icon that is shown ignores clicks while disabled.
    window.showNormal();
    tray->SetEnabled(true);
    tray->AppMinimize();
    tray->SetEnabled(false);
    emit fake->doubleClicked();
    EXPECT_TRUE(area.shown && !onTaskbar());
}

TEST_F(SystrayTest, HintChangesReachTheShownIconCutTo63Characters)
{
    minimise();
    const QString seventy(70, QLatin1Char('h'));
    const std::pair<QString, QString> cases[] = {
        { QStringLiteral("Plumtide: sorting"), QStringLiteral("Plumtide: sorting") },
        { QString(), QString() }, // no tooltip
        { seventy, seventy.left(63) },
        // A character outside the basic plane is never cut in half.
        { QString(62, QLatin1Char('h')) + QString::fromUtf8("\U0001F3B5"),
            QString(62, QLatin1Char('h')) },
    };
    for (const auto& [hint, tip] : cases) {
        tray->SetHint(hint);
        EXPECT_EQ(area.tip, tip) << hint.toStdString();
        EXPECT_EQ(tray->Hint(), tip);
    }
}

TEST(PlaceInside, KeepsTheWantedPlaceWhereTheWindowFitsAndTheTitleStripWithinReach)
{
    const QSize main(729, 471);
    const QPoint at(159, 106);
    const struct {
        QSize size;
        QPoint wanted;
        QRect available;
        QPoint place;
        const char* what;
    } cases[] = {
        { main, at, QRect(0, 0, 1280, 776), at, "fits: where it is wanted" },
        // 1280 x 800 at 150 %, less a panel along the bottom.
        { main, at, QRect(0, 0, 853, 517), QPoint(124, 46), "moved in just far enough" },
        { main, at, QRect(100, 30, 1180, 770), at, "panels left and top, still fits" },
        { main, at, QRect(200, 120, 1080, 680), QPoint(200, 120), "panels left and top" },
        // 1280 x 800 at 200 %: wider and taller than the screen.
        { main, at, QRect(0, 0, 640, 388), QPoint(0, 0), "too large: at the top-left corner" },
        { main, at, QRect(0, 0, 700, 600), QPoint(0, 106), "too wide only: at the left edge" },
        { main, at, QRect(-1280, 0, 1280, 400), QPoint(-729, 0), "onto a screen left of it" },
        { QSize(418, 259), QPoint(259, 179), QRect(0, 0, 640, 388), QPoint(222, 129),
            "the settings window at 200 %" },
        { main, at, QRect(), at, "no screen known: where it is wanted" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceInside(c.size, c.wanted, c.available), c.place) << c.what;
}

namespace
{

// Clicks on a label of `type` and `link`, then again; what the clicks opened.
QStringList clicksOpen(TURLType type, const QString& link, TWebLabel& label)
{
    label.resize(40, 16);
    QStringList opened;
    label.Open = [&opened](const QString& address) { opened.append(address); };
    label.SetLinkTyp(type);
    label.SetLink(link);
    QTest::mouseClick(&label, Qt::LeftButton);
    QTest::mouseClick(&label, Qt::LeftButton);
    return opened;
}

} // namespace

TEST(WebLabel, ClickOpensThePrefixOfItsKindFollowedByTheLinkAsStored)
{
    const std::tuple<TURLType, QString, QString> cases[] = {
        { TURLType::lnMailto, QStringLiteral("me@example.org"),
            QStringLiteral("mailto:me@example.org") },
        // Nothing is checked, escaped or mended.
        { TURLType::lnHttp, QStringLiteral("https://Example.org/a b"),
            QStringLiteral("http://https://Example.org/a b") },
        { TURLType::lnFile, QStringLiteral("/srv/music"), QStringLiteral("file:///srv/music") },
    };
    for (const auto& [type, link, address] : cases) {
        TWebLabel label;
        EXPECT_EQ(clicksOpen(type, link, label), QStringList({ address, address }));
        EXPECT_EQ(SplitAddress(address), std::pair(type, link)) << "the prefixes read backwards";
    }
    // Without a link, the first click goes to the maker's web page, whatever the kind.
    TWebLabel label;
    EXPECT_EQ(clicksOpen(TURLType::lnMailto, QString(), label),
        QStringList({ QStringLiteral("http://") + MakerAddress(),
            QStringLiteral("mailto:") + MakerAddress() }));
    EXPECT_EQ(label.Link(), MakerAddress());
    EXPECT_FALSE(MakerAddress().isEmpty() || MakerAddress().contains(QLatin1Char(':')));
}

TEST(WebLabel, HoverUnderlinesOnlyUnderThePointer)
{
    TWebLabel label;
    const auto underlined = [&label] { return label.font().underline(); };
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    label.ensurePolished();
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QApplication::sendEvent(&label, &leave);
    EXPECT_TRUE(underlined()) << "without Hover, always underlined";

    label.SetHover(true);
    EXPECT_FALSE(underlined());
    QApplication::sendEvent(&label, &enter);
    EXPECT_TRUE(underlined());
    QApplication::sendEvent(&label, &leave);
    EXPECT_FALSE(underlined());

    QFont bold = label.font();
    bold.setBold(true);
    label.setFont(bold);
    label.SetHover(false);
    EXPECT_TRUE(underlined());
    EXPECT_FALSE(label.font().bold()) << "underline only";
}
