#include "ui/fileunder.h"

#include "core/matching/artistmatch.h"
#include "core/matching/assignments.h"
#include "core/matching/carefulmatch.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "ui/foldertree.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace plumtide
{

QStringList ArtistFolderChoices(const std::vector<TFolderRow>& folders)
{
    QStringList choices;
    for (const TFolderRow& folder : folders) {
        const QStringList parts = folder.relativeName.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (parts.isEmpty() || IsGroupingName(parts.last()))
            continue;
        if (std::all_of(parts.begin(), parts.end() - 1, IsGroupingName))
            choices.append(parts.join(QLatin1Char('/')));
    }
    std::sort(choices.begin(), choices.end(), [](const QString& a, const QString& b) {
        const int order = CompareFolderNames(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    choices.removeDuplicates();
    return choices;
}

QStringList ArtistsBehindEntry(const QString& entry, const std::vector<TSourceRow>& files)
{
    QStringList artists { entry };
    const QString key = FoldArtist(entry);
    for (const TSourceRow& file : files) {
        // The similar rule names a new artist by its key; careful matching by its artist.
        if (NormaliseArtist(file.key).compare(entry, Qt::CaseInsensitive) != 0)
            continue;
        const QString text = ArtistTextOf(file.artist, FileNameOf(file.path));
        if (!text.isEmpty() && !ArtistCandidates(text).contains(key) && !artists.contains(text))
            artists.append(text);
    }
    return artists;
}

bool FileUnder(const QStringList& artists, const QString& folder)
{
    return UpdateAssignments(AssignmentsFile(), [&](TAssignments& assignments) {
        bool any = false;
        for (const QString& artist : artists)
            any = assignments.assign(artist, folder) || any;
        return any;
    });
}

TFolderChooser::TFolderChooser(QWidget* parent, const QString& artist, const QStringList& folders)
    : QDialog(parent)
    , filter(new QLineEdit(this))
    , list(new QListWidget(this))
{
    setObjectName(QStringLiteral("FolderChooser"));
    setWindowTitle(QStringLiteral("File under"));
    auto* layout = new QVBoxLayout(this);
    auto* question = new QLabel(QStringLiteral("File %1 under which folder?").arg(artist), this);
    question->setWordWrap(true);
    layout->addWidget(question);
    filter->setObjectName(QStringLiteral("filter"));
    filter->setPlaceholderText(QStringLiteral("Type to narrow the list"));
    filter->setClearButtonEnabled(true);
    layout->addWidget(filter);
    list->setObjectName(QStringLiteral("folders"));
    list->addItems(folders);
    list->setCurrentRow(0);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("File under"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(filter, &QLineEdit::textChanged, this, &TFolderChooser::applyFilter);
    const auto usable = [this, ok = buttons->button(QDialogButtonBox::Ok)] {
        ok->setEnabled(list->currentItem() && !list->currentItem()->isHidden());
    };
    connect(list, &QListWidget::currentRowChanged, this, usable);
    usable();
    resize(360, 420);
    filter->installEventFilter(this);
    filter->setFocus();
}

bool TFolderChooser::eventFilter(QObject* watched, QEvent* event)
{
    // The arrows in the filter field move through the list, so typing, then Down, then
    // Enter needs no Tab in between.
    if (watched == filter && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(list, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString TFolderChooser::chosen() const
{
    const QListWidgetItem* item = list->currentItem();
    return item && !item->isHidden() ? item->text() : QString();
}

void TFolderChooser::applyFilter(const QString& text)
{
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        const bool shown = item->text().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
    }
    // The arrows and Enter work on what is shown: the first match is the one Enter takes.
    if (!list->currentItem() || list->currentItem()->isHidden())
        list->setCurrentItem(first);
}

} // namespace plumtide
