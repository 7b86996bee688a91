#include "platform/errors.h"
#include "ui/application.h"
#include "ui/artwork.h"

#include <QDirIterator>
#include <QEvent>
#include <QImageReader>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

// Throws whatever it is given from its event handler.
class Thrower : public QObject
{
public:
    std::function<void()> doThrow;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            doThrow();
        return QObject::event(e);
    }
};

TPlumtideApplication& application()
{
    return *static_cast<TPlumtideApplication*>(QCoreApplication::instance());
}

} // namespace

TEST(Application, ErrorsEscapingHandlersReachTheErrorHandler)
{
    std::vector<std::string> seen;
    application().setExceptionHandler([&seen](const std::exception* error) {
        seen.push_back(error ? error->what() : "<unknown>");
        if (seen.size() == 3)
            throw PlumtideError(QStringLiteral("handler failed too"));
    });

    Thrower thrower;
    QEvent event(QEvent::User);
    thrower.doThrow = [] { throw IOError(QStringLiteral("Cannot remove"), QStringLiteral("/x")); };
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    thrower.doThrow = [] { throw 42; };
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    // An error inside the handler itself is contained as well.
    thrower.doThrow = [] { throw SettingsError(QStringLiteral("bad value")); };
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&thrower, &event));

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_NE(seen[0].find("/x"), std::string::npos);
    EXPECT_EQ(seen[1], "<unknown>");
    application().setExceptionHandler(nullptr);

    // Events that do not throw are delivered as usual.
    thrower.doThrow = [] {};
    EXPECT_TRUE(QCoreApplication::sendEvent(&thrower, &event));
}

TEST(Application, TitleIsPlumtide)
{
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Plumtide"));
    EXPECT_FALSE(QApplication::windowIcon().isNull());
}

TEST(Artwork, EveryPictureLoadsWithItsTwinAtDoubleSize)
{
    InitArtwork();
    const std::map<QString, QSize> sizes {
        { QStringLiteral("main.jpg"), { 729, 471 } },
        { QStringLiteral("settings.jpg"), { 418, 259 } },
        { QStringLiteral("newartists.jpg"), { 268, 297 } },
        { QStringLiteral("browsefrom.jpg"), { 264, 293 } },
        { QStringLiteral("browseto.jpg"), { 264, 293 } },
        { QStringLiteral("doublesfolder.jpg"), { 257, 222 } },
        { QStringLiteral("gear.png"), { 32, 32 } },
        { QStringLiteral("abort.png"), { 25, 25 } },
        { QStringLiteral("browse.png"), { 16, 16 } },
        { QStringLiteral("list0.png"), { 16, 16 } },
        { QStringLiteral("list3.png"), { 16, 16 } },
        { QStringLiteral("plumtide-16.png"), { 16, 16 } },
        { QStringLiteral("plumtide-256.png"), { 256, 256 } },
    };
    int pictures = 0;
    for (QDirIterator it(QStringLiteral(":/images")); it.hasNext();) {
        const QString path = it.next();
        const QString name = it.fileName();
        // JPEG needs Qt's image plugin at run time; a missing plugin shows up here.
        QImageReader reader(path);
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull())
            << path.toStdString() << ": " << reader.errorString().toStdString();
        ++pictures;
        if (name.contains(QStringLiteral("@2x"))) {
            const QImage single(QString(path).remove(QStringLiteral("@2x")));
            EXPECT_EQ(image.size(), single.size() * 2) << path.toStdString();
        } else if (sizes.count(name)) {
            EXPECT_EQ(image.size(), sizes.at(name)) << path.toStdString();
        }
    }
    EXPECT_GE(pictures, 30);
}

TEST(Artwork, DenseScreensGetTheTwin)
{
    const QPixmap single = LoadPicture(QLatin1String(artwork::kMainBackground), 1.0);
    EXPECT_EQ(single.size(), QSize(729, 471));
    EXPECT_EQ(single.devicePixelRatio(), 1.0);

    const QPixmap dense = LoadPicture(QLatin1String(artwork::kMainBackground), 2.0);
    EXPECT_EQ(dense.size(), QSize(1458, 942));
    EXPECT_EQ(dense.deviceIndependentSize(), QSizeF(729, 471));

    // Without a twin the single picture serves.
    const QPixmap large = LoadPicture(QStringLiteral(":/images/plumtide-256.png"), 2.0);
    EXPECT_EQ(large.size(), QSize(256, 256));

    const TImageList images;
    EXPECT_EQ(images.count(), 4);
    for (int i = 0; i < images.count(); ++i)
        EXPECT_FALSE(images.icon(i).isNull());
    EXPECT_TRUE(images.icon(4).isNull());
    EXPECT_TRUE(images.icon(-1).isNull());
}
