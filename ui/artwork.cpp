#include "ui/artwork.h"

#include <QFile>

static void initArtworkResource()
{
    // Outside any namespace, as the resource compiler's initialiser requires.
    Q_INIT_RESOURCE(artwork);
}

namespace plumtide
{

void InitArtwork()
{
    static const bool done = (initArtworkResource(), true);
    (void)done;
}

QPixmap LoadPicture(const QString& path, qreal devicePixelRatio)
{
    InitArtwork();
    if (devicePixelRatio > 1.0) {
        const int dot = path.lastIndexOf(QLatin1Char('.'));
        const QString twin = path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
        QPixmap dense;
        if (QFile::exists(twin) && dense.load(twin)) {
            dense.setDevicePixelRatio(2.0);
            return dense;
        }
    }
    return QPixmap(path);
}

QIcon ProgramIcon()
{
    InitArtwork();
    QIcon icon;
    // addFile picks up each "@2x" twin by itself.
    for (const int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        icon.addFile(QStringLiteral(":/images/plumtide-%1.png").arg(size), QSize(size, size));
    return icon;
}

TImageList::TImageList()
{
    InitArtwork();
    for (int index = 0; index <= Cross; ++index)
        m_icons.emplace_back(QStringLiteral(":/images/list%1.png").arg(index));
}

QIcon TImageList::icon(int index) const
{
    if (index < 0 || index >= count())
        return QIcon();
    return m_icons[static_cast<size_t>(index)];
}

} // namespace plumtide
