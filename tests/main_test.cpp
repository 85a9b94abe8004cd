// Every test program runs inside a QApplication (offscreen) with a temporary home and XDG
// folders, so that neither a test nor a program it starts touches the real user's files.

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir home; // private to its owner, as XDG_RUNTIME_DIR must be
    const std::pair<const char*, const char*> folders[] = {
        {"HOME", "home"},          {"XDG_CONFIG_HOME", "config"}, {"XDG_CACHE_HOME", "cache"},
        {"XDG_DATA_HOME", "data"}, {"XDG_STATE_HOME", "state"},   {"XDG_RUNTIME_DIR", "."}};
    for (const auto& [variable, folder] : folders) {
        QDir(home.path()).mkpath(QString::fromLatin1(folder));
        qputenv(variable, home.filePath(QString::fromLatin1(folder)).toUtf8());
    }
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
