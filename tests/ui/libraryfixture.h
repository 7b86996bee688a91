#pragma once

// A music library on disk for the main window's tests: a source folder of real mp3 files
// (a short tone encoded by lame, tagged by the tag engine), a destination folder with
// artist folders and a doubles folder, all below one temporary folder, and a main window
// whose settings name them.

#include "id3/id3engine.h"
#include "settings/settingsstore.h"
#include "tests/support/memorysettings.h"
#include "tests/support/qtprint.h"
#include "ui/application.h"
#include "ui/frmmain.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace plumtide::test
{

// A tenth of a second of a 440 Hz tone as an mp3 without a tag, encoded once per run.
inline const QByteArray& ToneMp3()
{
    static const QByteArray audio = [] {
        QTemporaryDir dir;
        QByteArray pcm;
        for (int i = 0; i < 2205; ++i) {
            const auto sample = static_cast<qint16>(8000 * std::sin(2 * M_PI * 440 * i / 22050.0));
            pcm.append(static_cast<char>(sample & 0xff));
            pcm.append(static_cast<char>((sample >> 8) & 0xff));
        }
        QFile raw(dir.filePath(QStringLiteral("tone.raw")));
        if (!raw.open(QIODevice::WriteOnly) || raw.write(pcm) != pcm.size())
            return QByteArray();
        raw.close();
        const QString mp3 = dir.filePath(QStringLiteral("tone.mp3"));
        if (QProcess::execute(QStringLiteral("lame"),
                { QStringLiteral("--silent"), QStringLiteral("-r"), QStringLiteral("-s"),
                    QStringLiteral("22.05"), QStringLiteral("-m"), QStringLiteral("m"),
                    QStringLiteral("--bitwidth"), QStringLiteral("16"), raw.fileName(), mp3 })
            != 0)
            return QByteArray();
        QFile encoded(mp3);
        return encoded.open(QIODevice::ReadOnly) ? encoded.readAll() : QByteArray();
    }();
    return audio;
}

class LibraryTest : public ::testing::Test
{
protected:
    LibraryTest()
        : m_state(qgetenv("XDG_STATE_HOME"))
    {
        // The history of the runs the tests make stays with them.
        qputenv("XDG_STATE_HOME", m_stateHome.path().toUtf8());
        source = folder(QStringLiteral("incoming"));
        destination = folder(QStringLiteral("library"));
        doubles = folder(QStringLiteral("doubles"));
        store.WriteValue(QStringLiteral("Source"), source);
        store.WriteValue(QStringLiteral("Destination"), destination);
        store.WriteValue(QStringLiteral("DoubleDir"), doubles);
    }

    ~LibraryTest() override
    {
        application().setExceptionHandler(nullptr);
        qputenv("XDG_STATE_HOME", m_state);
    }

    static TPlumtideApplication& application()
    {
        return *static_cast<TPlumtideApplication*>(QCoreApplication::instance());
    }

    // Makes the folder (and its parents) below the temporary folder; returns its path.
    QString folder(const QString& relative)
    {
        const QString path = m_root.filePath(relative);
        EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
        return path;
    }

    // Writes an mp3 file at `relative` below the source folder, with a tag holding `artist`
    // and `title` unless both are empty; returns its path.
    QString song(const QString& relative, const QString& artist, const QString& title = {})
    {
        const QString path = source + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_FALSE(ToneMp3().isEmpty()) << "lame is needed (scripts/setup.sh)";
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ToneMp3());
        file.close();
        if (!artist.isEmpty() || !title.isEmpty()) {
            TID3Engine engine;
            engine.SetFileName(path);
            engine.SetActive(true);
            engine.SetArtist(artist);
            engine.SetTitle(title);
            engine.WriteTag();
        }
        return path;
    }

    // The window as the program has it, before its start-up step: the tests take the
    // steps themselves.
    TfrmMain& window()
    {
        if (!m_window) {
            m_window = std::make_unique<TfrmMain>(store);
            m_window->startupTimer->stop();
            m_window->show();
            TfrmMain* w = m_window.get();
            application().setExceptionHandler(
                [w](const std::exception* error) { w->ApplicationEventsException(error); });
        }
        return *m_window;
    }

    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

    // Idle: the commands usable, the arrow cursor, no refresh under way.
    static void expectIdle(TfrmMain& w)
    {
        for (QWidget* control : std::initializer_list<QWidget*> { w.edtSource, w.edtDestination,
                 w.btnViewSource, w.btnViewDestination, w.btnSorteren, w.Details })
            EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
        EXPECT_FALSE(w.refreshBusy());
    }

    static bool anyDialogShown()
    {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible() && qobject_cast<QDialog*>(top))
                return true;
        }
        return false;
    }

    static QStringList column(const TListModel& list, int column)
    {
        QStringList texts;
        for (int i = 0; i < list.count(); ++i)
            texts.append(list.text(i, column));
        return texts;
    }

    TMemorySettingsStore store;
    QString source;
    QString destination;
    QString doubles;

private:
    QTemporaryDir m_root;
    QTemporaryDir m_stateHome;
    QByteArray m_state;
    std::unique_ptr<TfrmMain> m_window;
};

} // namespace plumtide::test
