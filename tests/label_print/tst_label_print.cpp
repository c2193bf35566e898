// Label templates: refused naming their line, before any module is written.
#include "label_print/label_code.h"
#include "label_print/label_layout.h"
#include "label_print/label_template_file.h"

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
            << "line 10: width: the Data Matrix of the longest text";
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

    void defaultTemplateReads() {
        const auto loaded = LoadLabelTemplate(DefaultTemplatePath(), "bench-2");
        if (const auto* refusal = std::get_if<QString>(&loaded))
            QFAIL(qPrintable(*refusal));
        QCOMPARE(std::get<profile::LabelTemplate>(loaded).codeBoxMm, QRectF(2, 2, 21, 21));
    }
};

QTEST_MAIN(LabelPrintTest)
#include "tst_label_print.moc"
