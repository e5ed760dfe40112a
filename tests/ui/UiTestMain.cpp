// The window tests run in one QApplication; any Qt warning fails the test that caused it.

#include <QApplication>

#include <gtest/gtest.h>

#include <string>

namespace {

void FailOnQtWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    // The offscreen platform and a missing runtime directory are the test machine's business.
    if (message.contains(QLatin1String("XDG_RUNTIME_DIR")) ||
        message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        ADD_FAILURE() << "Qt message: " << message.toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    qInstallMessageHandler(FailOnQtWarnings);
    return RUN_ALL_TESTS();
}
