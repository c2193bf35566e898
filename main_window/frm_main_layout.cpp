// The window's controls with their design values: containers, captions, positions,
// list items, length limits, colours and the states they hold when created.
#include "frm_main.h"

#include "artwork.h"
#include "twips.h"

#include "module_protocol/settings_reply.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace {

using main_window::LineWidget;
using main_window::ShapeWidget;
using main_window::TextBox;
using main_window::TwipRect;

template <typename Control>
Control* Place(Control* control, const char* name, const TwipRect& rect) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(main_window::ToPixels(rect));
    return control;
}

QLabel* MakeLabel(QWidget* container, const char* name, const QString& caption,
                  const TwipRect& rect) {
    auto* label = Place(new QLabel(container), name, rect);
    // A label may show what the module sent: it must never be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(caption);
    return label;
}

QLabel* MakeDisplayField(QWidget* container, const char* name, const TwipRect& rect) {
    QLabel* field = MakeLabel(container, name, QString(), rect);
    field->setAlignment(Qt::AlignCenter);
    field->setAutoFillBackground(true);
    field->setBackgroundRole(QPalette::Base);
    field->setForegroundRole(QPalette::Text);
    field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    field->setLineWidth(1);
    return field;
}

QPushButton* MakeButton(QWidget* container, const char* name, const QString& caption,
                        const TwipRect& rect) {
    auto* button = Place(new QPushButton(caption, container), name, rect);
    // Enter and Escape must not reach any button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QIcon Picture(const QStringList& files) {
    QIcon picture;
    for (const QString& file : files) {
        if (QFile::exists(file))
            picture.addFile(file);
    }
    return picture;
}

QToolButton* MakePictureButton(QWidget* container, const char* name, const QString& caption,
                               const QIcon& picture, QSize pictureSize, const TwipRect& rect) {
    auto* button = Place(new QToolButton(container), name, rect);
    button->setText(caption);
    button->setIcon(picture);
    button->setIconSize(pictureSize);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // Tool buttons take no focus from a click by default; these act as the other buttons.
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QGroupBox* MakeFrame(QWidget* container, const char* name, const QString& caption,
                     const TwipRect& rect) {
    return Place(new QGroupBox(caption, container), name, rect);
}

main_window::PortList* MakePortList(QWidget* container, const char* name, const TwipRect& rect) {
    return Place(new main_window::PortList(container), name, rect);
}

QComboBox* MakeEditableList(QWidget* container, const char* name, const QStringList& items,
                            const TwipRect& rect) {
    auto* list = Place(new QComboBox(container), name, rect);
    // Filled before it gets its text field, which would otherwise follow every insertion.
    list->addItems(items);
    list->setCurrentIndex(-1);
    // Typed text is sent as the user typed it, not completed from the list. A text field
    // that brings a completer of its own spares building the list's default one.
    auto* field = new QLineEdit(list);
    field->setCompleter(new QCompleter(field));
    list->setLineEdit(field);
    list->setCompleter(nullptr);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->clearEditText();
    return list;
}

QCheckBox* MakeCheckBox(QWidget* container, const char* name, const QString& caption,
                        const TwipRect& rect) {
    return Place(new QCheckBox(caption, container), name, rect);
}

TextBox* MakeTextBox(QWidget* container, const char* name, const QString& text, int typingLimit,
                     const TwipRect& rect) {
    auto* box = Place(new TextBox(container), name, rect);
    box->setTypingLimit(typingLimit);
    box->setText(text);
    return box;
}

ShapeWidget* MakeShape(QWidget* container, const char* name, ShapeWidget::Shape shape,
                       const QColor& fill, bool outlined, const TwipRect& rect) {
    auto* shapeWidget = Place(new ShapeWidget(shape, fill, container), name, rect);
    shapeWidget->setOutlined(outlined);
    return shapeWidget;
}

LineWidget* MakeLine(QWidget* container, const char* name, QPoint from, QPoint to, int width,
                     Qt::PenStyle style = Qt::SolidLine,
                     LineWidget::Colour colour = LineWidget::Colour::WindowText) {
    auto* line = new LineWidget(from, to, width, style, colour, container);
    line->setObjectName(QLatin1String(name));
    return line;
}

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kYellow(255, 255, 0);

} // namespace

void frmMain::CreateControls() {
    using main_window::PixelPoint;
    using Shape = ShapeWidget::Shape;

    cmdRefresh = MakePictureButton(this, "cmdRefresh", QStringLiteral("Refresh"),
                                   Picture({main_window::kRefreshPictureFile}),
                                   main_window::kRefreshPictureSize, {480, 2280, 1335, 495});
    cmdRefresh->setEnabled(false);
    cboPort = MakePortList(this, "cboPort", {480, 600, 1335, 315});
    cmdConnect = MakePictureButton(this, "cmdConnect", QStringLiteral("Connect"),
                                   Picture(main_window::kConnectPictureFiles),
                                   main_window::kConnectPictureSize, {480, 1200, 975, 735});
    cmdWrite = MakeButton(this, "cmdWrite", QStringLiteral("WRITE settings to module"),
                          {5880, 3240, 2175, 495});
    cmdExit = MakeButton(this, "cmdExit", QStringLiteral("Reset module and exit"),
                         {5880, 3960, 2175, 495});

    Frame2 = MakeFrame(this, "Frame2", QStringLiteral("Serial settings"), {5760, 120, 2415, 2895});
    cboParity =
        MakeEditableList(Frame2, "cboParity", {"None", "Odd", "Even"}, {960, 2160, 1215, 315});
    cboStopBit = MakeEditableList(Frame2, "cboStopBit", {"1", "2"}, {960, 1320, 1215, 315});
    cboBaud = MakeEditableList(
        Frame2, "cboBaud",
        {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400"},
        {960, 480, 1215, 315});
    Label6 = MakeLabel(Frame2, "Label6", QStringLiteral("Parity bit:"), {240, 2160, 735, 255});
    Label5 = MakeLabel(Frame2, "Label5", QStringLiteral("Stop bit(s):"), {120, 1320, 855, 255});
    Label4 = MakeLabel(Frame2, "Label4", QStringLiteral("Baud rate:"), {120, 480, 735, 255});

    Frame1 = MakeFrame(this, "Frame1", QStringLiteral("Device settings"), {2400, 120, 3015, 4335});
    chkPIN = MakeCheckBox(Frame1, "chkPIN", QStringLiteral("PIN request"), {120, 1200, 1335, 255});
    chkPIN->setHidden(true);
    chkPIN->setEnabled(false);
    chkPIN->setChecked(true);
    chkDiscoverable = MakeCheckBox(Frame1, "chkDiscoverable", QStringLiteral("Discoverable Slave"),
                                   {120, 2280, 1815, 255});
    chkMaster = MakeCheckBox(Frame1, "chkMaster", QStringLiteral("Master"), {120, 3000, 1215, 255});
    txtAddr = MakeTextBox(Frame1, "txtAddr", modProg::kNoAddress, 15, {840, 3600, 1935, 285});
    txtAddr->setEnabled(false);
    txtPin = MakeTextBox(Frame1, "txtPin", QString(), 8, {840, 1560, 1935, 285});
    txtName = MakeTextBox(Frame1, "txtName", QString(), 14, {840, 480, 1935, 285});
    Line8 = MakeLine(Frame1, "Line8", PixelPoint(0, 2760), PixelPoint(3000, 2760), 1, Qt::DotLine,
                     LineWidget::Colour::GreyText);
    lblCTA = MakeLabel(Frame1, "lblCTA", QStringLiteral("Connect to address (hex):"),
                       {120, 3360, 2175, 255});
    lblFMT = MakeLabel(Frame1, "lblFMT", QStringLiteral("(Format: xxxx xx xx xxxx)"),
                       {600, 3960, 1815, 255});
    Label8 = MakeLabel(Frame1, "Label8", QStringLiteral("(8 chars max)"), {1800, 1920, 975, 255});
    Label7 = MakeLabel(Frame1, "Label7", QStringLiteral("(14 chars max)"), {1680, 840, 1095, 255});
    Label2 = MakeLabel(Frame1, "Label2", QStringLiteral("Pin code:"), {120, 1560, 855, 255});
    Label1 = MakeLabel(Frame1, "Label1", QStringLiteral("Name:"), {240, 480, 615, 255});

    Frame3 = MakeFrame(this, "Frame3", QStringLiteral("Comm"), {240, 120, 1815, 2895});
    shpStatus = MakeShape(Frame3, "shpStatus", Shape::Circle, kRed, true, {1320, 1320, 255, 255});

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(kKeepAliveInterval);

    lblVersion = MakeDisplayField(this, "lblVersion", {1440, 3720, 735, 255});
    lblBDADDR = MakeDisplayField(this, "lblBDADDR", {120, 3360, 2055, 255});

    // The battery gauge stays hidden for the whole run.
    lblBattery = MakeLabel(this, "lblBattery", QStringLiteral("Level"), {2040, 4440, 735, 255});
    Line7 = MakeLine(this, "Line7", PixelPoint(2400, 4200), PixelPoint(2400, 4440), 2);
    Line3 = MakeLine(this, "Line3", PixelPoint(2040, 4440), PixelPoint(2040, 4200), 2);
    Line2 = MakeLine(this, "Line2", PixelPoint(2400, 4200), PixelPoint(2040, 4200), 2);
    Line1 = MakeLine(this, "Line1", PixelPoint(2040, 4440), PixelPoint(2400, 4440), 2);
    shpBattLow =
        MakeShape(this, "shpBattLow", Shape::Rectangle, kRed, false, {2280, 4200, 135, 255});
    shpBattFull =
        MakeShape(this, "shpBattFull", Shape::Rectangle, kGreen, false, {2040, 4200, 135, 255});
    shpBattMed =
        MakeShape(this, "shpBattMed", Shape::Rectangle, kYellow, false, {2160, 4200, 135, 255});
    Line4 = MakeLine(this, "Line4", PixelPoint(2045, 4320), PixelPoint(1965, 4320), 6);
    for (QWidget* gauge : std::initializer_list<QWidget*>{
             lblBattery, Line7, Line3, Line2, Line1, shpBattLow, shpBattFull, shpBattMed, Line4})
        gauge->setHidden(true);

    Label10 = MakeLabel(this, "Label10", QStringLiteral("Device address:"), {600, 3120, 1215, 255});
    Label9 = MakeLabel(this, "Label9", QStringLiteral("Firmware version:"), {120, 3720, 1455, 255});

    // These three belong to the window, not to the "Comm" frame they lie in: draw them above it.
    cmdRefresh->raise();
    cboPort->raise();
    cmdConnect->raise();
}
