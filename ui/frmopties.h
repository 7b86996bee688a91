#pragma once

#include <QWidget>

namespace plumtide
{

class TfrmMain;
class TImage;

// The settings window: frameless, always on top, 418 x 259, created hidden when the
// program starts and afterwards only shown and hidden. For now it carries its artwork and
// its title-strip zones; its controls come with the settings themselves.
class TfrmOpties : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmOpties(TfrmMain& main, QWidget* parent = nullptr);

    TfrmMain& mainWindow() const { return m_main; }

    TImage* imgBackground;
    TImage* imgTitle;
    TImage* imgCloseNieuwe;

private:
    TfrmMain& m_main;
};

} // namespace plumtide
