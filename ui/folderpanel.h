#pragma once

#include <QFrame>

namespace plumtide
{

class TImage;
class TShellTreeView;

// Where the parts of a folder panel lie inside it.
struct TFolderPanelLayout {
    QSize size;
    QRect backdrop;
    QRect closeZone;
    QRect tree;
};

// A skinned panel for choosing a folder: a backdrop picture whose title strip names what is
// chosen and ends in a painted close mark, an invisible close zone over that mark, and the
// folder tree. Hidden until its window shows it; its window moves, shows and hides it.
class TFolderPanel : public QFrame
{
    Q_OBJECT
public:
    TFolderPanel(QWidget* parent, const QString& name, const TFolderPanelLayout& layout,
        const QString& closeZoneName);

    // A backdrop picture (of the artwork), under everything else; shown unless hidden.
    TImage* addBackdrop(const QString& name, const QString& picture);

    TImage* const closeZone;
    TShellTreeView* const tree;

private:
    QRect m_backdrop;
};

} // namespace plumtide
