// The built-in pictures: each is there in its sizes with a transparent background, and the
// Windows icon file holds the same application icon in 256 colours and in 32-bit colour, and
// at 256 pixels for Explorer.
// Only resource paths are used here, as the window does, so the resources must reach an
// executable without any of its code referring to cordelo_resources.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace {

// Below this share of drawn pixels a picture is taken as an empty or failed render.
constexpr double kMinimumDrawnShare = 0.25;
// A 256-colour image may differ from the full-colour one by its palette rounding.
constexpr int kPaletteTolerance = 32;

struct IcoImage {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    QByteArray data;
};

quint16 U16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

qint32 I32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<qint32>(bytes.constData() + at);
}

// The images of an .ico file by its directory; nothing when the directory or a range is broken.
std::optional<std::vector<IcoImage>> ReadIco(const QByteArray& file) {
    constexpr qsizetype kHeaderSize = 6;
    constexpr qsizetype kEntrySize = 16;
    if (file.size() < kHeaderSize || U16(file, 0) != 0 || U16(file, 2) != 1) {
        return std::nullopt;
    }
    const int count = U16(file, 4);
    std::vector<IcoImage> images;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = kHeaderSize + i * kEntrySize;
        if (file.size() < entry + kEntrySize) {
            return std::nullopt;
        }
        const auto size = static_cast<qsizetype>(I32(file, entry + 8));
        const auto offset = static_cast<qsizetype>(I32(file, entry + 12));
        if (offset < 0 || size < 40 || offset + size > file.size()) {
            return std::nullopt;
        }
        IcoImage image;
        // A directory size of 0 means 256 pixels.
        image.width =
            static_cast<quint8>(file[entry]) == 0 ? 256 : static_cast<quint8>(file[entry]);
        image.height =
            static_cast<quint8>(file[entry + 1]) == 0 ? 256 : static_cast<quint8>(file[entry + 1]);
        image.bitCount = U16(file, entry + 6);
        image.data = file.mid(offset, size);
        images.push_back(image);
    }
    return images;
}

qsizetype RowBytes(int width, int bitCount) {
    return (static_cast<qsizetype>(width) * bitCount + 31) / 32 * 4;
}

struct DecodedPixel {
    QRgb colour = 0;
    bool masked = false; // the AND mask lets the background through
};

// Decodes a BMP icon image of 8 or 32 bits per pixel; rows are stored bottom-up.
DecodedPixel PixelAt(const IcoImage& image, int x, int y) {
    const QByteArray& dib = image.data;
    const qsizetype header = I32(dib, 0);
    const qsizetype paletteSize = image.bitCount == 8 ? 256 * 4 : 0;
    const qsizetype pixels = header + paletteSize;
    const int row = image.height - 1 - y;
    const qsizetype maskStart = pixels + RowBytes(image.width, image.bitCount) * image.height;

    DecodedPixel pixel;
    const char maskByte = dib[maskStart + RowBytes(image.width, 1) * row + x / 8];
    pixel.masked = (static_cast<quint8>(maskByte) & (0x80 >> (x % 8))) != 0;
    if (image.bitCount == 32) {
        const qsizetype at = pixels + RowBytes(image.width, 32) * row + x * 4;
        const auto byte = [&](int i) { return static_cast<quint8>(dib[at + i]); };
        pixel.colour = qRgba(byte(2), byte(1), byte(0), byte(3));
    } else {
        const auto index = static_cast<quint8>(dib[pixels + RowBytes(image.width, 8) * row + x]);
        const qsizetype entry = header + index * 4;
        const auto byte = [&](int i) { return static_cast<quint8>(dib[entry + i]); };
        pixel.colour = qRgb(byte(2), byte(1), byte(0));
    }
    return pixel;
}

int ColourDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

QByteArray ReadAppIco() {
    QFile file(QStringLiteral(CORDELO_APP_ICO));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TstArtwork : public QObject {
    Q_OBJECT

private slots:
    void pictureHasItsSizeOnTransparentBackground_data();
    void pictureHasItsSizeOnTransparentBackground();
    void icoHoldsEachSizeInBothColourDepths();
    void icoImageShowsTheApplicationIcon_data();
    void icoImageShowsTheApplicationIcon();
};

void TstArtwork::pictureHasItsSizeOnTransparentBackground_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("application 16") << QStringLiteral(":/icons/app-16.png") << QSize(16, 16);
    QTest::newRow("application 24") << QStringLiteral(":/icons/app-24.png") << QSize(24, 24);
    QTest::newRow("application 32") << QStringLiteral(":/icons/app-32.png") << QSize(32, 32);
    QTest::newRow("application 48") << QStringLiteral(":/icons/app-48.png") << QSize(48, 48);
    QTest::newRow("connect 32") << QStringLiteral(":/icons/connect-32.png") << QSize(32, 32);
    QTest::newRow("connect 16") << QStringLiteral(":/icons/connect-16.png") << QSize(16, 16);
    QTest::newRow("refresh") << QStringLiteral(":/icons/refresh.png") << QSize(19, 14);
}

void TstArtwork::pictureHasItsSizeOnTransparentBackground() {
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path + QStringLiteral(" is not in the resources")));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());

    const int right = size.width() - 1;
    const int bottom = size.height() - 1;
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
    }

    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            drawn += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    QVERIFY(drawn >= kMinimumDrawnShare * image.width() * image.height());
}

void TstArtwork::icoHoldsEachSizeInBothColourDepths() {
    const auto images = ReadIco(ReadAppIco());
    QVERIFY2(images.has_value(), "app.ico is missing or its directory is broken");
    QCOMPARE(images->size(), std::size_t{9});

    std::set<std::pair<int, int>> found;
    for (const IcoImage& image : *images) {
        QCOMPARE(image.height, image.width);
        found.insert({image.width, image.bitCount});
        if (image.width == 256) {
            // Explorer's large views take it as the PNG file it is.
            const QImage large = QImage::fromData(image.data, "PNG");
            const QImage rendered(QFileInfo(QStringLiteral(CORDELO_APP_ICO))
                                      .dir()
                                      .filePath(QStringLiteral("app-256.png")));
            QVERIFY(!rendered.isNull());
            QCOMPARE(large, rendered);
            continue;
        }
        // The bitmap header must agree with the directory: Windows draws from the header.
        QCOMPARE(I32(image.data, 0), 40);
        QCOMPARE(I32(image.data, 4), image.width);
        QCOMPARE(I32(image.data, 8), 2 * image.height); // pixel rows plus mask rows
        QCOMPARE(int(U16(image.data, 14)), image.bitCount);
        const qsizetype needed =
            40 + (image.bitCount == 8 ? 256 * 4 : 0) +
            (RowBytes(image.width, image.bitCount) + RowBytes(image.width, 1)) * image.height;
        QVERIFY(image.data.size() >= needed);
    }
    const std::set<std::pair<int, int>> expected{{16, 8},  {16, 32}, {24, 8},  {24, 32}, {32, 8},
                                                 {32, 32}, {48, 8},  {48, 32}, {256, 32}};
    QCOMPARE(found, expected);
}

void TstArtwork::icoImageShowsTheApplicationIcon_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("bitCount");
    for (const int size : {16, 24, 32, 48}) {
        for (const int bitCount : {8, 32}) {
            QTest::addRow("%d pixels, %d bits", size, bitCount) << size << bitCount;
        }
    }
}

// A stale or mis-encoded .ico shows the wrong picture on Windows only, where no test runs.
void TstArtwork::icoImageShowsTheApplicationIcon() {
    QFETCH(int, size);
    QFETCH(int, bitCount);

    const auto images = ReadIco(ReadAppIco());
    QVERIFY(images.has_value());
    const auto image = std::find_if(images->begin(), images->end(), [&](const IcoImage& i) {
        return i.width == size && i.bitCount == bitCount;
    });
    QVERIFY(image != images->end());
    const QImage png = QImage(QStringLiteral(":/icons/app-%1.png").arg(size))
                           .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(png.size(), QSize(size, size));

    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb expected = png.pixel(x, y);
            const DecodedPixel actual = PixelAt(*image, x, y);
            const QString where = QStringLiteral("at %1,%2").arg(x).arg(y);
            // Where alpha is not used, a pixel is drawn when at least half opaque.
            const bool drawn = qAlpha(expected) >= 128;
            QVERIFY2(actual.masked == !drawn, qPrintable(where));
            if (bitCount == 32) {
                QVERIFY2(actual.colour == expected, qPrintable(where));
            } else if (drawn) {
                QVERIFY2(ColourDistance(actual.colour, expected) <= kPaletteTolerance,
                         qPrintable(where));
            } else {
                // Under the mask the pixel must be black, or it tints the background.
                QVERIFY2(actual.colour == qRgb(0, 0, 0), qPrintable(where));
            }
        }
    }
}

QTEST_MAIN(TstArtwork)
#include "tst_artwork.moc"
