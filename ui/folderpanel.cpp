#include "ui/folderpanel.h"

#include "ui/artwork.h"
#include "ui/foldertree.h"
#include "ui/image.h"

namespace plumtide
{

TFolderPanel::TFolderPanel(QWidget* parent, const QString& name, const TFolderPanelLayout& layout,
    const QString& closeZoneName)
    : QFrame(parent)
    , closeZone(new TImage(this))
    , tree(new TShellTreeView(this))
    , m_backdrop(layout.backdrop)
{
    setObjectName(name);
    setGeometry(QRect(pos(), layout.size));
    closeZone->setObjectName(closeZoneName);
    closeZone->setGeometry(layout.closeZone);
    closeZone->setToolTip(QStringLiteral("Close"));
    closeZone->setCursor(Qt::PointingHandCursor);
    tree->setObjectName(QStringLiteral("ShellTreeView"));
    tree->setGeometry(layout.tree);
    hide();
}

TImage* TFolderPanel::addBackdrop(const QString& name, const QString& picture)
{
    auto* backdrop = new TImage(this);
    backdrop->setObjectName(name);
    backdrop->setGeometry(m_backdrop);
    backdrop->setScaledContents(true);
    backdrop->setPixmap(LoadPicture(picture, devicePixelRatioF()));
    backdrop->lower();
    return backdrop;
}

} // namespace plumtide
