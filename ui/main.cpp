#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plumtide"));
    QApplication::setApplicationDisplayName(QStringLiteral("Plumtide"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Plumtide"));
    window.show();
    return app.exec();
}
