#include <QApplication>
#include <QLabel>

// Placeholder until the main window lands.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label("Kerfline 4.0");
    label.show();
    return app.exec();
}
