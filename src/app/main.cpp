// tonalweaver: the program window.

#include <QApplication>

#include "shell/SequencerApp.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tonalweaver"));
    QApplication::setApplicationName(QStringLiteral("Tonalweaver"));
    QApplication::setApplicationVersion(QStringLiteral(TW_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tonalweaver"));

    CSequencerApp app;
    if (!app.InitInstance(QApplication::arguments())) return app.GetExitStatus();
    QApplication::exec();
    return app.ExitInstance();
}
