#include "platform/lease.h"
#include "platform/termination.h"
#include "settings/settings.h"
#include "settings/settingsstore.h"
#include "ui/application.h"
#include "ui/frmmain.h"
#include "ui/frmopties.h"
#include "ui/singleinstance.h"

#include <QSocketNotifier>

using namespace plumtide;

int main(int argc, char** argv)
{
    PrepareProcessForSharedFiles();
    TPlumtideApplication app(argc, argv);
    // The program ends when the main window closes, even with the settings window open,
    // and lives on while its window is hidden in the notification area.
    QApplication::setQuitOnLastWindowClosed(false);

    // Started again (from the menu, or at log-on while it already runs): the copy that
    // runs shows its window, and this one ends.
    TSingleInstance instance;
    if (!instance.claim()) {
        if (instance.activateRunning())
            return 0;
        qWarning("Plumtide runs already but does not answer; this copy ends.");
        return 1;
    }

    TFileSettingsStore store;
    store.setNewFileValues(WindowNewFileValues());
    TfrmMain frmMain(store);
    app.setExceptionHandler(
        [&frmMain](const std::exception* error) { frmMain.ApplicationEventsException(error); });
    QObject::connect(&frmMain, &TfrmMain::closed, &app, &QCoreApplication::quit);
    QObject::connect(&instance, &TSingleInstance::activationRequested, &frmMain,
        [&frmMain] { frmMain.Systray->RestoreApp(); });
    frmMain.show();

    // Asked to end from outside (log-out, a service manager, a compositor going away): as if
    // the user closed the window, so the work under way stops safely and settings are saved.
    const int termination = TerminationRequestDescriptor();
    QSocketNotifier terminationNotifier(termination, QSocketNotifier::Read);
    terminationNotifier.setEnabled(termination >= 0);
    QObject::connect(&terminationNotifier, &QSocketNotifier::activated, &frmMain, [&] {
        terminationNotifier.setEnabled(false);
        frmMain.close();
    });

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
