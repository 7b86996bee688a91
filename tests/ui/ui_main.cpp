#include "ui/application.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// Widget tests need the application object before anything else; it is the program's own,
// so that the error funnel of notify() is under test as well.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Moves the windows make are recorded, deletions may go to the Trash, and "File under…"
    // writes assignments beside the settings: never the user's own.
    const QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", home.filePath(QStringLiteral("state")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    plumtide::TPlumtideApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
