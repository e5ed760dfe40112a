// Runs the widget tests inside one QApplication on the offscreen platform (unless the caller
// chose another). Any Qt warning fails the test during which it was printed.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

namespace {

void FailOnQtWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    // The offscreen platform says so when it cannot raise windows or grab the keyboard for
    // tooltips and popups; those are limits of the test platform, not faults.
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    ADD_FAILURE() << "Qt warning: " << message.toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    qInstallMessageHandler(FailOnQtWarnings);
    return RUN_ALL_TESTS();
}
