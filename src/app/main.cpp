#include "mainwindow/appearance.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    pq::SetAppTitle();
    QLabel placeholder(pq::AppTitle());
    placeholder.show();
    return app.exec();
}
