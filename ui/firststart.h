#pragma once

// The main window's first-start panel: the two folders and the way of matching, proposed
// to a new user instead of the program's own folder and a rule chosen by nobody.

#include "core/rows.h"

#include <QFrame>
#include <QRect>
#include <QString>

#include <optional>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace plumtide
{

class TImage;
class TSettingsStore;

// Where the panel opens: where the new-artists panel does, beside the folder browser, so
// that browsing for one of its folders covers neither.
inline const QRect kFirstStartPanelPlace(453, 118, 268, 280);

// What the panel proposes and what the user starts with.
struct TFirstStartChoice {
    QString source;
    QString destination;
    // Filing into the same artist's folder only: a library the user already has keeps its
    // folders as they are.
    TMatching matching = TMatching::Careful;
};

// Whether the window greets a first start: the panel was neither answered nor closed
// (`FirstStart` is not `done`), and no source folder the user chose is stored (none, or the
// program's folder, which the window's fields store by themselves when nothing else is).
bool FirstStartDue(const TSettingsStore& store, const QString& programFolder);

// The desktop's download folder as the source and its music folder as the destination;
// where the desktop names none, or names the program's folder, `Downloads` and `Music` in
// the home folder. A proposal may name a folder that does not exist yet.
TFirstStartChoice ProposeFirstStart(const QString& downloads, const QString& music,
    const QString& home, const QString& programFolder);
// The same with the desktop's folders as QStandardPaths names them.
TFirstStartChoice ProposeFirstStart(const QString& programFolder);

// The panel's answer: `Start` stores both folders, `Matching` and `FirstStart=done`; the
// close mark (no choice) stores `FirstStart=done` alone, the rest keeps its defaults.
// Throws SettingsError.
void StoreFirstStart(TSettingsStore& store, const std::optional<TFirstStartChoice>& choice);

// The panel: two folder fields with browse glyphs, the two ways of matching, "Start" and a
// close mark. Its window places it, browses for its fields and stores its answer.
class TFirstStartPanel : public QFrame
{
    Q_OBJECT
public:
    TFirstStartPanel(QWidget* parent, const TFirstStartChoice& proposal, int percentage,
        const QPixmap& folderGlyph);

    // What the controls hold now.
    TFirstStartChoice choice() const;

    QLineEdit* edtSource;
    TImage* imgBrowseSource;
    QLineEdit* edtDestination;
    TImage* imgBrowseDestination;
    QRadioButton* rdbCareful;
    QRadioButton* rdbSimilar;
    QPushButton* btnStart;
    QPushButton* btnClose;
};

} // namespace plumtide
