#pragma once

// The settings window ("Opties": options). Its controls keep their historical names: chk
// (check box), edt (field), lbl (caption), rdb (radio button); DoubleDir is the doubles
// folder, DelFile deleting small files, AutoTime the interval of automatic runs.

#include "settings/settings.h"
#include "ui/titledrag.h"

#include <QList>
#include <QWidget>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QTabBar;
class QTimeEdit;
class QTimer;

namespace plumtide
{

class TFolderPanel;
class TfrmMain;
class TImage;
class TShellTreeView;
class TUpDown;

// The settings window: frameless, always on top, 418 x 259, created hidden when the
// program starts and afterwards only shown and hidden, never modal. Each showing loads
// its controls from the store (and sets the main window's folders, working copy and
// automatic sorting from it); each close saves them and applies them to the main window.
// A save that fails keeps the window open, and the next close tries the whole save again.
// Two pages, chosen by tabs in the title strip: the first holds the original options at their
// original places; "More" holds the options beyond them.
// From the keyboard: Tab reaches every control (the tabs too), Ctrl+Tab and Ctrl+PgDown/PgUp
// turn the page, Enter or Space presses the focused browse image, and Esc closes the folder
// panel when it is open, otherwise the window (saving, as the close mark does).
class TfrmOpties : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmOpties(TfrmMain& main, QWidget* parent = nullptr);

    TfrmMain& mainWindow() const { return m_main; }
    const TTitleDrag& titleDrag() const { return m_dragger.state(); }

    // What the controls hold, and setting them (with their enabling rules) from code.
    TOptionsValues controlValues() const;
    void setControlValues(const TOptionsValues& values);

    // --- Handlers -----------------------------------------------------------------------

    void FormShow();
    // The save; false when a write failed.
    bool FormClose();
    void UpDownPerqEqualClick();
    void chkMoveDoublesClick();
    void chkRemoveDoublesClick();
    // For "Automatically sort every:", "Load Plumtide on startup" and "Delete mp3 files
    // smaller than:" alike.
    void chkAutoTimeClick();
    void imgBrowseClick();
    void ShellTreeViewClick();
    void imgCloseBrowserClick();
    void imgCloseNieuweClick();
    void tbsPagesChange(int page);
    void EscapePressed();
    void imgTitleMouseDown(
        Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);
    void imgTitleMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);
    void Timer1Timer();

    // --- Controls, top to bottom ------------------------------------------------------------

    TImage* imgBackground;
    TImage* imgTitle;
    TImage* imgCloseNieuwe;
    QLabel* Label1;
    QLabel* lblPercentage;
    QProgressBar* PercEqual;
    TUpDown* UpDownPerqEqual;
    QCheckBox* chkAutoStart;
    TImage* lblAutoStart;
    QCheckBox* chkRemoveDoubles;
    TImage* lblRemoveDoubles;
    QCheckBox* chkMoveDoubles;
    TImage* lblMoveDoubles;
    QLineEdit* edtDoubleDir;
    TImage* imgBrowse;
    QLabel* lblDoubleDirMissing; // shown while the folder typed does not exist
    QCheckBox* chkAutoTime;
    TImage* lblAutoTime;
    QTimeEdit* AutoTime;
    QCheckBox* chkDelFile;
    TImage* lblDelFile;
    QLineEdit* edtFilesize;
    TUpDown* UDFileSize;
    QLabel* lblKb;

    // The tabs that choose the page, and the More page.
    QTabBar* tbsPages;
    QWidget* pnlMore;

    // --- The "More" page, top to bottom ---------------------------------------------------

    QLabel* lblMatching;
    QRadioButton* rdbSimilar;
    TImage* lblSimilar;
    QRadioButton* rdbCareful;
    TImage* lblCareful;
    QCheckBox* chkFormats;
    TImage* lblFormats;
    QCheckBox* chkUseTrash;
    TImage* lblUseTrash;
    QCheckBox* chkWatchSource;
    TImage* lblWatchSource;
    QLineEdit* edtSettle;
    TUpDown* UDSettle;
    QLabel* lblSeconds;

    // The folder panel for the doubles folder.
    TFolderPanel* pnlBrowse;
    TImage* imgDoublesFolder;
    TImage* imgCloseBrowser;
    TShellTreeView* ShellTreeView;

    QTimer* Timer1;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createPages();
    void createMorePage();
    void createBrowsePanel();
    void createKeys();
    void connectHandlers();
    void applyEnabling();
    void showPercentage(int percentage);

    TfrmMain& m_main;
    TTitleDragger m_dragger;
    // Whether the folder panel is open on the first page, whichever page is shown.
    bool m_browseOpen = false;
    // The formats the window was shown with: a list written by hand beyond the check box's.
    TFileFormats m_loadedFormats;
    // The first page's controls, shown and hidden together.
    QList<QWidget*> m_generalPage;
};

} // namespace plumtide
