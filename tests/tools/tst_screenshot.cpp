// cordelo-screenshot's render options: the window in the desktop's light or a dark palette,
// and at a device pixel ratio of 2.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void rendersWithTheOptionsGiven_data();
    void rendersWithTheOptionsGiven();
};

void ScreenshotTest::rendersWithTheOptionsGiven_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << QStringList{} << QSize(567, 311) << false;
    QTest::newRow("dark") << QStringList{"--dark"} << QSize(567, 311) << true;
    QTest::newRow("dark at 2x") << QStringList{"--scale", "2", "--dark"} << QSize(1134, 622)
                                << true;
}

void ScreenshotTest::rendersWithTheOptionsGiven() {
    QFETCH(QStringList, options);
    QFETCH(QSize, size);
    QFETCH(bool, dark);
    QTemporaryDir directory;
    const QString picture = directory.filePath("window.png");

    QProcess tool;
    tool.start(CORDELO_SCREENSHOT, QStringList{picture} + options);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);

    const QImage image(picture);
    QCOMPARE(image.size(), size);
    // The window's own background, left of the first frame.
    QCOMPARE(QColor(image.pixel(2, 2)).lightness() < 128, dark);
}

QTEST_GUILESS_MAIN(ScreenshotTest)
#include "tst_screenshot.moc"
