// The baseline for start-up and memory: the smallest Qt Widgets program that shows a
// window with text on it, measured exactly as the tool is. Text matters: the first
// text drawn loads the fonts, which any real window pays for.
#include "first_paint.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Hello"));
    window.resize(567, 311);
    bench::ExitAfterFirstPaint(window);
    window.show();
    return app.exec();
}
