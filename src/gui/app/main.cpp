#include <QApplication>

#include "core/app/appinfo.h"
#include "core/app/commandline.h"
#include "core/app/programvalues.h"
#include "core/app/standardstreams.h"
#include "core/net/hostmapping.h"
#include "core/settings/settingsstore.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/prompts.h"

int main(int argc, char *argv[])
{
    StandardStreams::ensureOpen();
    QApplication app(argc, argv);
    AppInfo::setApplicationIdentity();
    // No display name: the window system would append it to every caption.
    QApplication::setDesktopFileName(QStringLiteral("trawlbay"));

    // Connections for a host may be sent elsewhere (tests, local mirrors).
    if (!HostMapping::global().addFromEnvironment())
        qWarning("TRAWLBAY_CONNECT_TO is not of the form HOST:PORT:TARGET_HOST:TARGET_PORT[,...]");

    ProgramValues values;
    values.gStartupQueueFile =
        CommandLine::startupQueueFile(CommandLine::fromArguments(QApplication::arguments()));

    // A settings file of its own in place of the user's: the demo's, or a portable copy's.
    const QString settingsFile = qEnvironmentVariable("TRAWLBAY_SETTINGS");
    const SettingsStore store =
        settingsFile.isEmpty() ? SettingsStore() : SettingsStore(settingsFile);
    frmDownload window(store, values);
    window.showAsLoaded();
    return QApplication::exec();
}
