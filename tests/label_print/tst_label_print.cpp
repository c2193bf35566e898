// Label templates and the labels drawn from them: each code kind at its template's size and at
// the smallest the template allows, decoded back by zbarimg from the rasterised PDF.
#include "label_print/label_code.h"
#include "label_print/label_layout.h"
#include "label_print/label_painting.h"
#include "label_print/label_pdf.h"
#include "label_print/label_queue.h"
#include "label_print/label_template_file.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace label_print;

namespace {

// A 60 x 30 mm label with the code at the top left and two lines below or beside it.
QString TemplateText(const QString& kind, const QString& code, double width, double height) {
    return QStringLiteral("[Label]\nwidth=60\nheight=30\n[Code]\nkind=%1\ntext=%2\nleft=1\n"
                          "top=1\nwidth=%3\nheight=%4\n[Text]\nleft=1\ntop=%5\n"
                          "line1={name}\nsize1=3\nline2=Unit {unit} {bench}\nsize2=2.5\n")
        .arg(kind, code)
        .arg(width)
        .arg(height)
        .arg(height + 2);
}

LabelValues Unit42() {
    LabelValues unit{42,
                     QStringLiteral("0012 6f 3a 9b01"),
                     QStringLiteral("bench-2"),
                     QStringLiteral("v2.0"),
                     QDate(2026, 12, 9),
                     {}};
    unit.settings.name = QStringLiteral("Cordelo-9b01");
    return unit;
}
const LabelValues kUnit = Unit42();

QByteArray Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10'000);
    return process.readAllStandardOutput();
}

// zbar reads QR Codes and Code 128 but no Data Matrix, which libdmtx's reader does.
QByteArray Decode(const QString& kind, const QString& png) {
    if (kind == QLatin1String("datamatrix"))
        return Run("dmtxread", {"-N1", png}).trimmed();
    return Run("zbarimg", {"--raw", "-q", png}).trimmed();
}

// The tools that read a label back, or the first one missing.
QString MissingTool() {
    for (const char* tool : {"pdftoppm", "zbarimg", "dmtxread", "pdftotext"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QString::fromLatin1(tool);
    }
    return {};
}

#define SKIP_WITHOUT_DECODERS()                                                                    \
    if (const QString missing = MissingTool(); !missing.isEmpty())                                 \
    QSKIP(qPrintable(missing + QStringLiteral(" is missing: scripts/install-deps.sh installs "     \
                                              "poppler-utils, zbar-tools and dmtx-utils")))

} // namespace

class LabelPrintTest : public QObject {
    Q_OBJECT

private slots:
    void refusesNamingLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        const QString qr = TemplateText("qr", "{address}", 21, 21);
        QTest::newRow("unknown placeholder") << QString(qr).replace("line1={name}", "line1={nmae}")
                                             << "line 14: line1: unknown placeholder {nmae}";
        QTest::newRow("code beyond the label")
            << QString(qr).replace("width=21", "width=60") << "line 9: width: the code reaches 61";
        QTest::newRow("line below the label")
            << QString(qr).replace("size2=2.5", "size2=6") << "line 16: line2: the line reaches";
        QTest::newRow("Code 128 holds Latin-1")
            << TemplateText("code128", "Ω{unit}", 40, 10)
            << "line 6: text: Code 128 holds Latin-1 characters only";
        QTest::newRow("QR Code capacity") << TemplateText("qr", QString(3000, 'x'), 20, 20)
                                          << "line 6: text: the text is too long for a QR Code";
        QTest::newRow("box too small for the code")
            << TemplateText("datamatrix", "{address}", 3, 3)
            << "line 9: width: the Data Matrix of the longest text";
        QTest::newRow("unknown kind") << TemplateText("pdf417", "{unit}", 20, 20)
                                      << "line 5: kind: must be one of qr datamatrix code128";
    }

    void refusesNamingLine() {
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        QTemporaryDir folder;
        const QString path = folder.filePath("bad.label");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        const auto loaded = LoadLabelTemplate(path, "bench-2");
        QVERIFY(std::holds_alternative<QString>(loaded));
        QVERIFY2(std::get<QString>(loaded).startsWith(path + ": " + refusal),
                 qPrintable(std::get<QString>(loaded)));
    }

    void decodesBackFromPdf_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("size");
        QTest::addColumn<double>("height");
        QTest::addColumn<QString>("decoded");
        for (const auto& [kind, code, size, height, decoded] :
             {std::tuple{"qr", "{address}", 21.0, 21.0, "0012 6f 3a 9b01"},
              std::tuple{"datamatrix", "{address} {unit}", 18.0, 18.0, "0012 6f 3a 9b01 42"},
              std::tuple{"code128", "U{unit}", 40.0, 12.0, "U42"}}) {
            QTest::addRow("%s at its size", kind) << kind << code << size << height << decoded;
            // Negative: the smallest box the template allows, found by the check itself.
            QTest::addRow("%s at the smallest size", kind)
                << kind << code << -1.0 << height << decoded;
        }
    }

    void decodesBackFromPdf() {
        SKIP_WITHOUT_DECODERS();
        QFETCH(QString, kind);
        QFETCH(QString, code);
        QFETCH(double, size);
        QFETCH(double, height);
        QFETCH(QString, decoded);
        auto parsed = profile::ParseLabelText(TemplateText(kind, code, 55, height));
        QVERIFY(std::holds_alternative<profile::LabelTemplate>(parsed));
        auto label = std::get<profile::LabelTemplate>(parsed);
        if (size < 0) {
            // The narrowest box the check takes, to a tenth of a millimetre, and one refused.
            size = 55;
            while (label.codeBoxMm.setWidth(size - 0.1), !CheckCodeFits(label, "bench-2"))
                size -= 0.1;
            QVERIFY(size < 55);
        }
        label.codeBoxMm.setWidth(size);
        if (kind != "code128")
            label.codeBoxMm.setHeight(size);
        QVERIFY(!CheckCodeFits(label, "bench-2"));

        QTemporaryDir folder;
        const LabelPrint print = WriteLabelPdf(folder.path(), label, kUnit);
        QVERIFY2(print.printed, qPrintable(print.reason));
        QCOMPARE(print.where, folder.filePath("unit-42.pdf"));
        Run("pdftoppm", {"-r", "600", "-png", "-singlefile", print.where, folder.filePath("page")});
        QCOMPARE(Decode(kind, folder.filePath("page.png")), decoded.toUtf8());
        const QString text = QString::fromUtf8(Run("pdftotext", {print.where, "-"}));
        QVERIFY2(text.contains("Cordelo-9b01") && text.contains("Unit 42 bench-2"),
                 qPrintable(text));
    }

    // A label drawn while its unit is verified: printed as drawn when the unit passes with the
    // values it was drawn with, drawn again when they changed, gone when the unit fails; no
    // staged file is left in the folder.
    void labelDrawnAheadIsPrintedOrDropped_data() {
        QTest::addColumn<int>("aheadUnit");
        QTest::addColumn<QString>("aheadName");
        QTest::addColumn<bool>("passes");
        QTest::newRow("passed as drawn") << 42 << "Cordelo-9b01" << true;
        QTest::newRow("renamed since it was drawn") << 42 << "Old-name" << true;
        QTest::newRow("renumbered since it was drawn") << 41 << "Cordelo-9b01" << true;
        QTest::newRow("did not pass") << 42 << "Cordelo-9b01" << false;
    }

    void labelDrawnAheadIsPrintedOrDropped() {
        SKIP_WITHOUT_DECODERS();
        QFETCH(int, aheadUnit);
        QFETCH(QString, aheadName);
        QFETCH(bool, passes);
        const auto parsed = profile::ParseLabelText(TemplateText("qr", "{address} {unit}", 21, 21));
        QTemporaryDir folder;
        LabelQueue queue(std::get<profile::LabelTemplate>(parsed), folder.path());
        LabelValues ahead = kUnit;
        ahead.unit = aheadUnit;
        ahead.settings.name = aheadName;
        const std::optional<LabelQueue::Draft> draft = queue.drawAhead(ahead);
        QVERIFY(draft);
        // Drawn and staged, as it is while a module's verifying query takes its time.
        queue.waitUntilIdle();
        std::vector<LabelPrint> told;
        if (passes)
            queue.print(
                kUnit, [&told](const LabelPrint& print) { told.push_back(print); }, draft);
        else
            queue.drop(*draft);
        queue.waitUntilIdle();
        QCOMPARE(told.size(), std::size_t(passes ? 1 : 0));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 passes ? QStringList{"unit-42.pdf"} : QStringList());
        if (!passes)
            return;
        QCOMPARE(told.front().where, folder.filePath("unit-42.pdf"));
        Run("pdftoppm",
            {"-r", "600", "-png", "-singlefile", told.front().where, folder.filePath("page")});
        QCOMPARE(Decode("qr", folder.filePath("page.png")), QByteArray("0012 6f 3a 9b01 42"));
        const QString text = QString::fromUtf8(Run("pdftotext", {told.front().where, "-"}));
        QVERIFY2(text.contains("Cordelo-9b01") && !text.contains("Old-name"), qPrintable(text));
    }

    // A thermal printer's 203 dpi: every module whole dots, black or white, and it decodes.
    void sharpModulesAtPrinterResolution_data() {
        QTest::addColumn<int>("dpi");
        QTest::newRow("203 dpi") << 203;
        QTest::newRow("300 dpi") << 300;
    }

    void sharpModulesAtPrinterResolution() {
        SKIP_WITHOUT_DECODERS();
        QFETCH(int, dpi);
        const auto parsed = profile::ParseLabelText(TemplateText("qr", "{address}", 21, 21));
        const auto& label = std::get<profile::LabelTemplate>(parsed);
        QImage image(PixelsOf(60, dpi), PixelsOf(30, dpi), QImage::Format_Grayscale8);
        image.fill(Qt::white);
        QPainter painter(&image);
        QVERIFY(!PaintLabel(painter, dpi, label, FillLabel(label, kUnit)));
        painter.end();
        const QRect box(PixelsOf(1, dpi), PixelsOf(1, dpi), PixelsOf(21, dpi), PixelsOf(21, dpi));
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                const int grey = qGray(image.pixel(x, y));
                QVERIFY2(grey == 0 || grey == 255,
                         qPrintable(QString("grey at %1,%2").arg(x).arg(y)));
            }
        }
        QTemporaryDir folder;
        QVERIFY(image.save(folder.filePath("label.png")));
        QCOMPARE(Decode("qr", folder.filePath("label.png")), QByteArray("0012 6f 3a 9b01"));
    }

    // A line whose every placeholder is empty is left out; literal braces are text.
    void fillsLinesLeavingOutThoseWithoutValues() {
        const auto parsed =
            profile::ParseLabelText(TemplateText("qr", "{address}", 21, 10) +
                                    "line3=Unit {unit}{firmware}\nsize3=2\nline4=a { b\nsize4=2\n");
        auto label = std::get<profile::LabelTemplate>(parsed);
        LabelValues noUnit = kUnit;
        noUnit.unit.reset();
        noUnit.firmware.clear();
        QCOMPARE(FillLabel(label, noUnit).lines,
                 QStringList({"Cordelo-9b01", "Unit  bench-2", "", "a { b"}));
        QCOMPARE(FillLabel(label, kUnit).lines.at(2), "Unit 42v2.0");
    }

    void defaultTemplateReads() {
        const auto loaded = LoadLabelTemplate(DefaultTemplatePath(), "bench-2");
        if (const auto* refusal = std::get_if<QString>(&loaded))
            QFAIL(qPrintable(*refusal));
        QCOMPARE(std::get<profile::LabelTemplate>(loaded).codeBoxMm, QRectF(2, 2, 21, 21));
    }
};

QTEST_MAIN(LabelPrintTest)
#include "tst_label_print.moc"
