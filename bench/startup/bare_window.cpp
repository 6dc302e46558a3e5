// The yardstick for bench_startup: a bare Qt Widgets window of the size
// given, shown and left to its event loop.
//   bench_bare_window WIDTH HEIGHT
#include <QApplication>
#include <QWidget>

#include <cstdlib>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QWidget window;
    window.resize(std::atoi(argv[1]), std::atoi(argv[2]));
    window.show();
    return app.exec();
}
