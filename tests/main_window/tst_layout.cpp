// The window as created: its controls, where they sit, what they show, their lists,
// limits, colours, states and tab order, and the window's own properties.
#include "window_fixture.h"

#include "caption_fit.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>

using main_window::LineWidget;
using main_window::ShapeWidget;
using main_window::TextBox;

namespace {

const QStringList kControlNames = {
    "cmdRefresh",      "cboPort",     "cmdConnect", "cmdWrite", "cmdExit", "Frame2", "cboParity",
    "cboStopBit",      "cboBaud",     "Label6",     "Label5",   "Label4",  "Frame1", "chkPIN",
    "chkDiscoverable", "chkMaster",   "txtAddr",    "txtPin",   "txtName", "Line8",  "lblCTA",
    "lblFMT",          "Label8",      "Label7",     "Label2",   "Label1",  "Frame3", "shpStatus",
    "lblVersion",      "lblBDADDR",   "lblBattery", "Line7",    "Line3",   "Line2",  "Line1",
    "shpBattLow",      "shpBattFull", "shpBattMed", "Line4",    "Label10", "Label9"};

QPoint FromTwips(int x, int y) {
    return {qRound(x / 15.0), qRound(y / 15.0)};
}

QString CaptionOf(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(control))
        return frame->title();
    if (const auto* box = qobject_cast<const QLineEdit*>(control))
        return box->text();
    if (const auto* list = qobject_cast<const QComboBox*>(control))
        return list->currentText();
    return {};
}

// Every object the accessibility tree reaches from `node`, with the name it announces.
void CollectNames(QAccessibleInterface* node, QHash<QObject*, QString>& names) {
    names.insert(node->object(), node->text(QAccessible::Name));
    for (int i = 0; i < node->childCount(); ++i)
        CollectNames(node->child(i), names);
}

QStringList Labels(QObject* control) {
    QStringList labels;
    const auto relations =
        QAccessible::queryAccessibleInterface(control)->relations(QAccessible::Label);
    for (const auto& [label, relation] : relations)
        labels << label->object()->objectName();
    return labels;
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_under.reset(); }

    void windowHoldsExactlyTheDesignedControls();
    void controlsSitInTheirContainers_data();
    void controlsSitInTheirContainers();
    void linesRunBetweenTheirEnds_data();
    void linesRunBetweenTheirEnds();
    void portButtonsAreDrawnAboveTheCommFrame();
    void screenReadersFindANameForEachControl_data();
    void screenReadersFindANameForEachControl();
    void picturesHaveImagesForEachDensity_data();
    void picturesHaveImagesForEachDensity();
    void controlsShowTheirCaptions_data();
    void controlsShowTheirCaptions();
    void captionsFitTheirControls();
    void listsHoldTheirItemsInOrder_data();
    void listsHoldTheirItemsInOrder();
    void onlyTheSettingsListsTakeTyping();
    void typingStopsAtTheLimit_data();
    void typingStopsAtTheLimit();
    void longerTextFromTheProgramStaysWhole();
    void controlsStartInTheirDesignedStates_data();
    void controlsStartInTheirDesignedStates();
    void lampAndGaugeHaveTheirColours();
    void timerWaitsStoppedWithItsInterval();
    void windowIsFixedCaptionedAndCentred();
    void tabWalksTheDesignedOrder_data();
    void tabWalksTheDesignedOrder();
    void enterAndEscapeClickNoButton();

private:
    std::unique_ptr<WindowUnderTest> m_under;
    frmMain* w = nullptr;
};

void LayoutTest::init() {
    m_under = ShowWindow();
    QVERIFY2(m_under, "the window did not become active");
    w = &m_under->window;
}

void LayoutTest::windowHoldsExactlyTheDesignedControls() {
    QStringList named;
    for (const QWidget* child : w->findChildren<QWidget*>()) {
        if (!child->objectName().isEmpty() && !child->objectName().startsWith(QLatin1String("qt_")))
            named << child->objectName();
    }
    QStringList expected = kControlNames;
    named.sort();
    expected.sort();
    QCOMPARE(named, expected);
    QCOMPARE(w->Timer1.objectName(), QStringLiteral("Timer1"));
    QCOMPARE(&w->MSComm1, static_cast<platform::SerialPort*>(&m_under->test.port));
}

void LayoutTest::controlsSitInTheirContainers_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    const auto row = [](const char* name, const char* container, int l, int t, int wd, int h) {
        QTest::newRow(name) << QString(container) << QRect(l, t, wd, h);
    };
    row("cmdRefresh", "frmMain", 480, 2280, 1335, 495);
    row("cboPort", "frmMain", 480, 600, 1335, 315);
    row("cmdConnect", "frmMain", 480, 1200, 975, 735);
    row("cmdWrite", "frmMain", 5880, 3240, 2175, 495);
    row("cmdExit", "frmMain", 5880, 3960, 2175, 495);
    row("Frame2", "frmMain", 5760, 120, 2415, 2895);
    row("cboParity", "Frame2", 960, 2160, 1215, 315);
    row("cboStopBit", "Frame2", 960, 1320, 1215, 315);
    row("cboBaud", "Frame2", 960, 480, 1215, 315);
    row("Label6", "Frame2", 240, 2160, 735, 255);
    row("Label5", "Frame2", 120, 1320, 855, 255);
    row("Label4", "Frame2", 120, 480, 735, 255);
    row("Frame1", "frmMain", 2400, 120, 3015, 4335);
    row("chkPIN", "Frame1", 120, 1200, 1335, 255);
    row("chkDiscoverable", "Frame1", 120, 2280, 1815, 255);
    row("chkMaster", "Frame1", 120, 3000, 1215, 255);
    row("txtAddr", "Frame1", 840, 3600, 1935, 285);
    row("txtPin", "Frame1", 840, 1560, 1935, 285);
    row("txtName", "Frame1", 840, 480, 1935, 285);
    row("lblCTA", "Frame1", 120, 3360, 2175, 255);
    row("lblFMT", "Frame1", 600, 3960, 1815, 255);
    row("Label8", "Frame1", 1800, 1920, 975, 255);
    row("Label7", "Frame1", 1680, 840, 1095, 255);
    row("Label2", "Frame1", 120, 1560, 855, 255);
    row("Label1", "Frame1", 240, 480, 615, 255);
    row("Frame3", "frmMain", 240, 120, 1815, 2895);
    row("shpStatus", "Frame3", 1320, 1320, 255, 255);
    row("lblVersion", "frmMain", 1440, 3720, 735, 255);
    row("lblBDADDR", "frmMain", 120, 3360, 2055, 255);
    row("lblBattery", "frmMain", 2040, 4440, 735, 255);
    row("shpBattLow", "frmMain", 2280, 4200, 135, 255);
    row("shpBattFull", "frmMain", 2040, 4200, 135, 255);
    row("shpBattMed", "frmMain", 2160, 4200, 135, 255);
    row("Label10", "frmMain", 600, 3120, 1215, 255);
    row("Label9", "frmMain", 120, 3720, 1455, 255);
}

void LayoutTest::controlsSitInTheirContainers() {
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    const auto* control = w->findChild<QWidget*>(QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), container);
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
}

void LayoutTest::linesRunBetweenTheirEnds_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("dottedGrey");
    const auto row = [](const char* name, const char* container, int x1, int y1, int x2, int y2,
                        int width, bool dottedGrey = false) {
        QTest::newRow(name) << QString(container) << FromTwips(x1, y1) << FromTwips(x2, y2) << width
                            << dottedGrey;
    };
    row("Line8", "Frame1", 0, 2760, 3000, 2760, 1, true);
    row("Line7", "frmMain", 2400, 4200, 2400, 4440, 2);
    row("Line3", "frmMain", 2040, 4440, 2040, 4200, 2);
    row("Line2", "frmMain", 2400, 4200, 2040, 4200, 2);
    row("Line1", "frmMain", 2040, 4440, 2400, 4440, 2);
    row("Line4", "frmMain", 2045, 4320, 1965, 4320, 6);
}

void LayoutTest::linesRunBetweenTheirEnds() {
    QFETCH(QString, container);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, width);
    QFETCH(bool, dottedGrey);
    const auto* line = w->findChild<LineWidget*>(QTest::currentDataTag());
    QVERIFY(line);
    QCOMPARE(line->parentWidget()->objectName(), container);
    QCOMPARE(line->from(), from);
    QCOMPARE(line->to(), to);
    QCOMPARE(line->penWidth(), width);
    QVERIFY(line->geometry().contains(from) && line->geometry().contains(to));
    QCOMPARE(line->penStyle(), dottedGrey ? Qt::DotLine : Qt::SolidLine);
    QCOMPARE(line->lineColor(), dottedGrey
                                    ? w->palette().color(QPalette::Disabled, QPalette::WindowText)
                                    : w->palette().color(QPalette::WindowText));
}

void LayoutTest::portButtonsAreDrawnAboveTheCommFrame() {
    for (QWidget* control :
         std::initializer_list<QWidget*>{w->cboPort, w->cmdConnect, w->cmdRefresh}) {
        const QPoint middle = control->geometry().center();
        QVERIFY(w->Frame3->geometry().contains(middle));
        QCOMPARE(w->childAt(middle), control);
    }
}

void LayoutTest::screenReadersFindANameForEachControl_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char* control, const char* name, const char* caption) {
        QTest::newRow(control) << QString(name) << QString(caption);
    };
    row("txtName", "Name", "Label1");
    row("txtAddr", "Connect to address (hex)", "lblCTA");
    row("cboBaud", "Baud rate", "Label4");
    row("cboParity", "Parity bit", "Label6");
    row("lblBDADDR", "Device address", "Label10");
    row("lblVersion", "Firmware version", "Label9");
    row("cboPort", "COM port", "");
    row("shpStatus", "Connection status: connected", "");
    row("cmdWrite", "WRITE settings to module", "");
}

void LayoutTest::screenReadersFindANameForEachControl() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    w->ShowConnected(true);
    QHash<QObject*, QString> names;
    CollectNames(QAccessible::queryAccessibleInterface(w), names);

    // Whatever takes the focus is announced by a name or by the caption labelling it.
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        const auto* widget = qobject_cast<const QWidget*>(it.key());
        if (widget && widget->isVisible() && widget->focusPolicy() != Qt::NoFocus)
            QVERIFY2(!it.value().isEmpty() || !Labels(it.key()).isEmpty(),
                     qPrintable(ControlName(widget, *w)));
    }
    auto* control = w->findChild<QWidget*>(QTest::currentDataTag());
    QVERIFY(names.contains(control));
    // On Linux Qt announces a list's value as its name, and its caption by the relation.
    const bool isList =
        QAccessible::queryAccessibleInterface(control)->role() == QAccessible::ComboBox;
    QCOMPARE(isList ? control->accessibleName() : names.value(control), name);
    if (!caption.isEmpty())
        QVERIFY(Labels(control).contains(caption));
}

void LayoutTest::picturesHaveImagesForEachDensity_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QString>("image");
    QTest::newRow("connect") << "cmdConnect" << QSize(32, 32) << 1.0 << ":/icons/connect-32.png";
    QTest::newRow("connect 2x") << "cmdConnect" << QSize(32, 32) << 2.0 << ":/icons/connect-64.png";
    QTest::newRow("refresh 2x") << "cmdRefresh" << QSize(19, 14) << 2.0 << ":/icons/refresh-2x.png";
    QTest::newRow("window icon 2x") << "" << QSize(48, 48) << 2.0 << ":/icons/app-96.png";
}

void LayoutTest::picturesHaveImagesForEachDensity() {
    QFETCH(QString, control);
    QFETCH(QSize, size);
    QFETCH(qreal, ratio);
    QFETCH(QString, image);
    const QIcon picture =
        control.isEmpty() ? w->windowIcon() : w->findChild<QToolButton*>(control)->icon();

    // Drawn from an image of its own for the density, never from a smaller one scaled up.
    QImage drawn = picture.pixmap(size, ratio).toImage();
    drawn.setDevicePixelRatio(1);
    QCOMPARE(drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied),
             QImage(image).convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

void LayoutTest::controlsShowTheirCaptions_data() {
    QTest::addColumn<QString>("caption");
    const QList<std::pair<const char*, const char*>> captions = {
        {"cmdRefresh", "Refresh"},
        {"cboPort", ""},
        {"cmdConnect", "Connect"},
        {"cmdWrite", "WRITE settings to module"},
        {"cmdExit", "Reset module and exit"},
        {"Frame2", "Serial settings"},
        {"cboParity", ""},
        {"cboStopBit", ""},
        {"cboBaud", ""},
        {"Label6", "Parity bit:"},
        {"Label5", "Stop bit(s):"},
        {"Label4", "Baud rate:"},
        {"Frame1", "Device settings"},
        {"chkPIN", "PIN request"},
        {"chkDiscoverable", "Discoverable Slave"},
        {"chkMaster", "Master"},
        {"txtAddr", "0000 00 00 0000"},
        {"txtPin", ""},
        {"txtName", ""},
        {"lblCTA", "Connect to address (hex):"},
        {"lblFMT", "(Format: xxxx xx xx xxxx)"},
        {"Label8", "(8 chars max)"},
        {"Label7", "(14 chars max)"},
        {"Label2", "Pin code:"},
        {"Label1", "Name:"},
        {"Frame3", "Comm"},
        {"lblVersion", ""},
        {"lblBDADDR", ""},
        {"lblBattery", "Level"},
        {"Label10", "Device address:"},
        {"Label9", "Firmware version:"},
    };
    for (const auto& [name, caption] : captions)
        QTest::newRow(name) << QString(caption);
}

void LayoutTest::controlsShowTheirCaptions() {
    QFETCH(QString, caption);
    const auto* control = w->findChild<QWidget*>(QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(CaptionOf(control), caption);
}

void LayoutTest::captionsFitTheirControls() {
    // Judged by what the controls themselves ask for, as the style draws them.
    for (const QWidget* control : w->findChildren<QWidget*>()) {
        if (control->isHidden() || CaptionOf(control).isEmpty() ||
            qobject_cast<const QLineEdit*>(control) || qobject_cast<const QComboBox*>(control))
            continue;
        const auto* frame = qobject_cast<const QGroupBox*>(control);
        const int needed = frame ? frame->fontMetrics().horizontalAdvance(frame->title())
                                 : control->sizeHint().width();
        QVERIFY2(needed <= control->width(), qPrintable(control->objectName()));
    }
    QCOMPARE(QFontInfo(w->font()).family(), QFontInfo(QApplication::font()).family());
    QVERIFY(w->font().pointSizeF() >= main_window::kSmallestPointSize);
    for (const QWidget* child : w->findChildren<QWidget*>()) {
        if (!child->isWindow())
            QCOMPARE(child->font(), w->font());
    }
}

void LayoutTest::listsHoldTheirItemsInOrder_data() {
    QTest::addColumn<QStringList>("items");
    QTest::newRow("cboPort") << QStringList();
    QTest::newRow("cboBaud") << QStringList{"1200",  "2400",  "4800",   "9600",  "19200",
                                            "38400", "57600", "115200", "230400"};
    QTest::newRow("cboStopBit") << QStringList{"1", "2"};
    QTest::newRow("cboParity") << QStringList{"None", "Odd", "Even"};
}

void LayoutTest::listsHoldTheirItemsInOrder() {
    QFETCH(QStringList, items);
    const auto* list = w->findChild<QComboBox*>(QTest::currentDataTag());
    QVERIFY(list);
    QStringList held;
    for (int i = 0; i < list->count(); ++i)
        held << list->itemText(i);
    QCOMPARE(held, items);
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(list->currentText(), QString());
}

void LayoutTest::onlyTheSettingsListsTakeTyping() {
    QTest::keyClicks(w->cboPort, "COM3");
    QCOMPARE(w->cboPort->currentText(), QString());

    for (QComboBox* list : {w->cboBaud, w->cboStopBit, w->cboParity}) {
        list->setFocus();
        QTest::keyClicks(list, "300");
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(list->currentText(), QStringLiteral("300"));
        QVERIFY2(list->findText("300") < 0, "typed text became a list item");
        QCOMPARE(list->currentIndex(), -1);
    }
    // Typing the start of an item is not completed to the item.
    w->cboBaud->setFocus();
    w->cboBaud->clearEditText();
    QTest::keyClicks(w->cboBaud, "96");
    QCOMPARE(w->cboBaud->currentText(), QStringLiteral("96"));
}

void LayoutTest::typingStopsAtTheLimit_data() {
    QTest::addColumn<int>("limit");
    QTest::newRow("txtName") << 14;
    QTest::newRow("txtPin") << 8;
    QTest::newRow("txtAddr") << 15;
}

void LayoutTest::typingStopsAtTheLimit() {
    QFETCH(int, limit);
    auto* box = w->findChild<TextBox*>(QTest::currentDataTag());
    QVERIFY(box);
    box->setEnabled(true);
    box->setText(QString());
    box->setFocus();
    QTest::keyClicks(box, "0123456789abcdef0123");
    QCOMPARE(box->text(), QStringLiteral("0123456789abcdef0123").left(limit));

    // A paste stops at the limit as well.
    const QString pasted(20, QLatin1Char('f'));
    QApplication::clipboard()->setText(pasted);
    if (QApplication::clipboard()->text() != pasted)
        QSKIP("the clipboard does not work on this platform");
    box->setText(QStringLiteral("1"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), (QStringLiteral("1") + pasted).left(limit));
}

void LayoutTest::longerTextFromTheProgramStaysWhole() {
    const QString longName = QStringLiteral("A name of twenty-six chars");
    w->txtName->setText(longName);
    QCOMPARE(w->txtName->text(), longName);

    w->txtName->setFocus();
    w->txtName->end(false);
    QTest::keyClick(w->txtName, Qt::Key_Backspace);
    QTest::keyClicks(w->txtName, "xy");
    QCOMPARE(w->txtName->text(), longName.chopped(1));

    w->txtName->setText(QStringLiteral("short"));
    QTest::keyClicks(w->txtName, "0123456789");
    QCOMPARE(w->txtName->text(), QStringLiteral("short012345678"));
}

void LayoutTest::controlsStartInTheirDesignedStates_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hidden");
    const QStringList disabled = {"cmdRefresh", "chkPIN", "txtAddr"};
    const QStringList hidden = {"chkPIN", "lblBattery", "Line7",       "Line3",      "Line2",
                                "Line1",  "shpBattLow", "shpBattFull", "shpBattMed", "Line4"};
    for (const QString& name : kControlNames)
        QTest::newRow(qPrintable(name)) << !disabled.contains(name) << hidden.contains(name);
}

void LayoutTest::controlsStartInTheirDesignedStates() {
    QFETCH(bool, enabled);
    QFETCH(bool, hidden);
    const auto* control = w->findChild<QWidget*>(QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(control->isVisible(), !hidden);
    if (const auto* box = qobject_cast<const QCheckBox*>(control))
        QCOMPARE(box->isChecked(), box == w->chkPIN);
}

void LayoutTest::lampAndGaugeHaveTheirColours() {
    QCOMPARE(w->shpStatus->shape(), ShapeWidget::Shape::Circle);
    QCOMPARE(w->shpStatus->fillColor(), QColor(255, 0, 0));
    QVERIFY(w->shpStatus->isOutlined());

    // The lamp paints its fill in the middle and its outline at the edge of the circle.
    const QImage lamp = w->shpStatus->grab().toImage();
    const QPoint middle = lamp.rect().center();
    QCOMPARE(lamp.pixelColor(middle), QColor(255, 0, 0));
    QVERIFY2(lamp.pixelColor(middle.x(), 0).red() < 128, "no dark outline at the top of the lamp");

    const QList<std::pair<ShapeWidget*, QColor>> bars = {{w->shpBattLow, QColor(255, 0, 0)},
                                                         {w->shpBattFull, QColor(0, 255, 0)},
                                                         {w->shpBattMed, QColor(255, 255, 0)}};
    for (const auto& [bar, colour] : bars) {
        QCOMPARE(bar->shape(), ShapeWidget::Shape::Rectangle);
        QCOMPARE(bar->fillColor(), colour);
        QVERIFY(!bar->isOutlined());
    }
}

void LayoutTest::timerWaitsStoppedWithItsInterval() {
    QVERIFY(!w->Timer1.isActive());
    QCOMPARE(w->Timer1.intervalAsDuration(), std::chrono::milliseconds(1000));
    QVERIFY(!w->Timer1.isSingleShot());
}

void LayoutTest::windowIsFixedCaptionedAndCentred() {
    QCOMPARE(w->windowTitle(), QStringLiteral("Cordelo Setup v1.1"));
    QVERIFY(QGuiApplication::applicationDisplayName() != QStringLiteral("Cordelo Setup"));
    QCOMPARE(w->size(), QSize(567, 311));
    QCOMPARE(w->minimumSize(), QSize(567, 311));
    QCOMPARE(w->maximumSize(), QSize(567, 311));
    QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w->windowIcon().isNull());
    QCOMPARE(w->frameGeometry().center(), w->screen()->availableGeometry().center());
}

void LayoutTest::tabWalksTheDesignedOrder_data() {
    QTest::addColumn<bool>("allEnabled");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("every control enabled")
        << true
        << QStringList{"cmdConnect", "cboPort",    "txtName",         "txtPin",    "chkMaster",
                       "txtAddr",    "cboBaud",    "cboStopBit",      "cboParity", "cmdWrite",
                       "cmdExit",    "cmdRefresh", "chkDiscoverable", "cmdConnect"};
    QTest::newRow("as created") << false
                                << QStringList{"cmdConnect", "cboPort",         "txtName",
                                               "txtPin",     "chkMaster",       "cboBaud",
                                               "cboStopBit", "cboParity",       "cmdWrite",
                                               "cmdExit",    "chkDiscoverable", "cmdConnect"};
}

void LayoutTest::tabWalksTheDesignedOrder() {
    QFETCH(bool, allEnabled);
    QFETCH(QStringList, order);
    if (allEnabled) {
        for (QWidget* control : w->findChildren<QWidget*>())
            control->setEnabled(true);
    }
    w->cmdConnect->setFocus();
    QStringList walked = {ControlName(QApplication::focusWidget(), *w)};
    while (walked.size() < order.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << ControlName(QApplication::focusWidget(), *w);
    }
    QCOMPARE(walked, order);
}

void LayoutTest::enterAndEscapeClickNoButton() {
    const QList<QAbstractButton*> buttons = {w->cmdConnect, w->cmdRefresh, w->cmdWrite, w->cmdExit};
    QList<std::shared_ptr<QSignalSpy>> clicks;
    for (QAbstractButton* button : buttons) {
        button->setEnabled(true);
        clicks << std::make_shared<QSignalSpy>(button, &QAbstractButton::clicked);
        if (auto* push = qobject_cast<QPushButton*>(button))
            QVERIFY(!push->isDefault() && !push->autoDefault());
    }
    QList<QWidget*> focusPlaces = {w->txtName, w->cboBaud, w->cboPort};
    for (QAbstractButton* button : buttons)
        focusPlaces << button;
    for (QWidget* place : focusPlaces) {
        place->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(QApplication::focusWidget(), key);
    }
    for (qsizetype i = 0; i < buttons.size(); ++i)
        QVERIFY2(clicks[i]->isEmpty(), qPrintable(buttons[i]->objectName()));
}

int RunLayoutTests(int argc, char** argv) {
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_layout.moc"
