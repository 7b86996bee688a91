#include "settings/settingsstore.h"
#include "ui/application.h"
#include "ui/frmmain.h"
#include "ui/frmopties.h"

using namespace plumtide;

int main(int argc, char** argv)
{
    TPlumtideApplication app(argc, argv);
    // The program ends when the main window closes, even with the settings window open.
    QApplication::setQuitOnLastWindowClosed(false);

    TFileSettingsStore store;
    TfrmMain frmMain(store);
    app.setExceptionHandler(
        [&frmMain](const std::exception* error) { frmMain.ApplicationEventsException(error); });
    QObject::connect(&frmMain, &TfrmMain::closed, &app, &QCoreApplication::quit);
    frmMain.show();

    TfrmOpties frmOpties(frmMain);
    frmMain.setOptionsWindow(&frmOpties);

    const int status = app.exec();
    try {
        store.Flush(); // what was typed last
    } catch (const std::exception& error) {
        qWarning("Plumtide: %s", error.what());
    }
    return status;
}
