#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Velmaris");
    QLabel label("Velmaris");
    label.show();
    return app.exec();
}
