#include "ui/frmopties.h"

#include "ui/artwork.h"
#include "ui/frmmain.h"
#include "ui/image.h"
#include "ui/theme.h"

namespace plumtide
{

TfrmOpties::TfrmOpties(TfrmMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_main(main)
{
    SkinWindow(*this, QStringLiteral("frmOpties"), QStringLiteral("Settings"), QSize(418, 259),
        QPoint(259, 179));

    imgBackground = new TImage(this);
    imgBackground->setObjectName(QStringLiteral("imgBackground"));
    imgBackground->setGeometry(rect());
    imgBackground->setScaledContents(true);
    imgBackground->setPixmap(
        LoadPicture(QLatin1String(artwork::kSettingsBackground), devicePixelRatioF()));

    imgTitle = new TImage(this);
    imgTitle->setObjectName(QStringLiteral("imgTitle"));
    imgTitle->setGeometry(0, 0, 393, 25);

    imgCloseNieuwe = new TImage(this);
    imgCloseNieuwe->setObjectName(QStringLiteral("imgCloseNieuwe"));
    imgCloseNieuwe->setGeometry(392, -3, 29, 28);
    imgCloseNieuwe->setToolTip(QStringLiteral("Close"));
    imgCloseNieuwe->setCursor(Qt::PointingHandCursor);
}

} // namespace plumtide
