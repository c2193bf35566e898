// The window's controls with their design values: containers, captions, positions,
// list items, length limits, colours and the states they hold when created.
#include "frm_main.h"

#include "artwork.h"
#include "caption_fit.h"
#include "twips.h"
#include "list_selection.h"

#include "module_protocol/settings_reply.h"
#include "resources/icon_from_files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <vector>

namespace {

using main_window::LineWidget;
using main_window::ShapeWidget;
using main_window::TextBox;
using main_window::TwipRect;

// A control with a caption: its name, its caption and where it sits.
struct Captioned {
    const char* name;
    QString caption;
    TwipRect rect;
};

// The controls whose captions show: the window is created from these, and its font is
// fitted to them before that.
const Captioned kRefresh{"cmdRefresh", QStringLiteral("Refresh"), {480, 2280, 1335, 495}};
const Captioned kConnect{"cmdConnect", QStringLiteral("Connect"), {480, 1200, 975, 735}};
const Captioned kWrite{
    "cmdWrite", QStringLiteral("WRITE settings to module"), {5880, 3240, 2175, 495}};
const Captioned kExit{"cmdExit", QStringLiteral("Reset module and exit"), {5880, 3960, 2175, 495}};
const Captioned kFrame2{"Frame2", QStringLiteral("Serial settings"), {5760, 120, 2415, 2895}};
const Captioned kLabel6{"Label6", QStringLiteral("Parity bit:"), {240, 2160, 735, 255}};
const Captioned kLabel5{"Label5", QStringLiteral("Stop bit(s):"), {120, 1320, 855, 255}};
const Captioned kLabel4{"Label4", QStringLiteral("Baud rate:"), {120, 480, 735, 255}};
const Captioned kFrame1{"Frame1", QStringLiteral("Device settings"), {2400, 120, 3015, 4335}};
const Captioned kDiscoverable{
    "chkDiscoverable", QStringLiteral("Discoverable Slave"), {120, 2280, 1815, 255}};
const Captioned kMaster{"chkMaster", QStringLiteral("Master"), {120, 3000, 1215, 255}};
const Captioned kLblCTA{
    "lblCTA", QStringLiteral("Connect to address (hex):"), {120, 3360, 2175, 255}};
const Captioned kLblFMT{
    "lblFMT", QStringLiteral("(Format: xxxx xx xx xxxx)"), {600, 3960, 1815, 255}};
const Captioned kLabel8{"Label8", QStringLiteral("(8 chars max)"), {1800, 1920, 975, 255}};
const Captioned kLabel7{"Label7", QStringLiteral("(14 chars max)"), {1680, 840, 1095, 255}};
const Captioned kLabel2{"Label2", QStringLiteral("Pin code:"), {120, 1560, 855, 255}};
const Captioned kLabel1{"Label1", QStringLiteral("Name:"), {240, 480, 615, 255}};
const Captioned kFrame3{"Frame3", QStringLiteral("Comm"), {240, 120, 1815, 2895}};
const Captioned kLabel10{"Label10", QStringLiteral("Device address:"), {600, 3120, 1215, 255}};
const Captioned kLabel9{"Label9", QStringLiteral("Firmware version:"), {120, 3720, 1455, 255}};

std::vector<main_window::Caption> VisibleCaptions() {
    using Kind = main_window::CaptionKind;
    const auto caption = [](const Captioned& design, Kind kind, QSize picture = {}) {
        return main_window::Caption{design.caption, kind,
                                    main_window::ToPixels(design.rect).width(), picture};
    };
    std::vector<main_window::Caption> captions = {
        caption(kRefresh, Kind::PictureButton, main_window::kRefreshPictureSize),
        caption(kConnect, Kind::PictureButton, main_window::kConnectPictureSize),
        caption(kWrite, Kind::Button),
        caption(kExit, Kind::Button),
        caption(kDiscoverable, Kind::CheckBox),
        caption(kMaster, Kind::CheckBox),
    };
    for (const Captioned* frame : {&kFrame1, &kFrame2, &kFrame3})
        captions.push_back(caption(*frame, Kind::Frame));
    for (const Captioned* label : {&kLabel6, &kLabel5, &kLabel4, &kLblCTA, &kLblFMT, &kLabel8,
                                   &kLabel7, &kLabel2, &kLabel1, &kLabel10, &kLabel9})
        captions.push_back(caption(*label, Kind::Label));
    return captions;
}

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

QLabel* MakeLabel(QWidget* container, const Captioned& design) {
    return MakeLabel(container, design.name, design.caption, design.rect);
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

QPushButton* MakeButton(QWidget* container, const Captioned& design) {
    auto* button = Place(new QPushButton(design.caption, container), design.name, design.rect);
    // Enter and Escape must not reach any button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QToolButton* MakePictureButton(QWidget* container, const Captioned& design, const QIcon& picture,
                               QSize pictureSize) {
    auto* button = Place(new QToolButton(container), design.name, design.rect);
    button->setText(design.caption);
    button->setIcon(picture);
    button->setIconSize(pictureSize);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // Tool buttons take no focus from a click by default; these act as the other buttons.
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QGroupBox* MakeFrame(QWidget* container, const Captioned& design) {
    return Place(new QGroupBox(design.caption, container), design.name, design.rect);
}

main_window::PortList* MakePortList(QWidget* container, const char* name, const TwipRect& rect) {
    return Place(new main_window::PortList(container), name, rect);
}

QComboBox* MakeEditableList(QWidget* container, const char* name, const QStringList& items,
                            const TwipRect& rect, QCompleter& stopgap) {
    auto* list = Place(new QComboBox(container), name, rect);
    // Filled before it gets its text field, which would otherwise follow every insertion.
    list->addItems(items);
    list->setCurrentIndex(-1);
    // Typed text is sent as the user typed it, not completed from the list. A text field
    // that brings a completer spares building the list's default one; the lists lend each
    // other the same stopgap, which none keeps.
    auto* field = new QLineEdit(list);
    field->setCompleter(&stopgap);
    list->setLineEdit(field);
    list->setCompleter(nullptr);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->clearEditText();
    // Leaving the text field settles which entry, if any, the typed text stands for.
    QObject::connect(field, &QLineEdit::editingFinished, list,
                     [list] { main_window::SelectTypedEntry(*list); });
    return list;
}

QCheckBox* MakeCheckBox(QWidget* container, const Captioned& design) {
    return Place(new QCheckBox(design.caption, container), design.name, design.rect);
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

    // The font is fitted to the captions before the first control exists, so every control
    // is created with it and none has to take a new font later.
    const QFont fitted = main_window::FontFittingCaptions(font(), VisibleCaptions());
    if (fitted != font())
        setFont(fitted);

    cmdRefresh = MakePictureButton(this, kRefresh,
                                   resources::IconFromFiles(main_window::kRefreshPictureImages),
                                   main_window::kRefreshPictureSize);
    cmdRefresh->setEnabled(false);
    cboPort = MakePortList(this, "cboPort", {480, 600, 1335, 315});
    cmdConnect = MakePictureButton(this, kConnect,
                                   resources::IconFromFiles(main_window::kConnectPictureImages),
                                   main_window::kConnectPictureSize);
    cmdWrite = MakeButton(this, kWrite);
    cmdExit = MakeButton(this, kExit);

    Frame2 = MakeFrame(this, kFrame2);
    QCompleter stopgap;
    cboParity = MakeEditableList(Frame2, "cboParity", {"None", "Odd", "Even"},
                                 {960, 2160, 1215, 315}, stopgap);
    cboStopBit =
        MakeEditableList(Frame2, "cboStopBit", {"1", "2"}, {960, 1320, 1215, 315}, stopgap);
    cboBaud = MakeEditableList(
        Frame2, "cboBaud",
        {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400"},
        {960, 480, 1215, 315}, stopgap);
    Label6 = MakeLabel(Frame2, kLabel6);
    Label5 = MakeLabel(Frame2, kLabel5);
    Label4 = MakeLabel(Frame2, kLabel4);

    Frame1 = MakeFrame(this, kFrame1);
    chkPIN =
        MakeCheckBox(Frame1, {"chkPIN", QStringLiteral("PIN request"), {120, 1200, 1335, 255}});
    chkPIN->setHidden(true);
    chkPIN->setEnabled(false);
    chkPIN->setChecked(true);
    chkDiscoverable = MakeCheckBox(Frame1, kDiscoverable);
    chkMaster = MakeCheckBox(Frame1, kMaster);
    txtAddr = MakeTextBox(Frame1, "txtAddr", modProg::kNoAddress, 15, {840, 3600, 1935, 285});
    txtAddr->setEnabled(false);
    txtPin = MakeTextBox(Frame1, "txtPin", QString(), 8, {840, 1560, 1935, 285});
    txtName = MakeTextBox(Frame1, "txtName", QString(), 14, {840, 480, 1935, 285});
    Line8 = MakeLine(Frame1, "Line8", PixelPoint(0, 2760), PixelPoint(3000, 2760), 1, Qt::DotLine,
                     LineWidget::Colour::GreyText);
    lblCTA = MakeLabel(Frame1, kLblCTA);
    lblFMT = MakeLabel(Frame1, kLblFMT);
    Label8 = MakeLabel(Frame1, kLabel8);
    Label7 = MakeLabel(Frame1, kLabel7);
    Label2 = MakeLabel(Frame1, kLabel2);
    Label1 = MakeLabel(Frame1, kLabel1);

    Frame3 = MakeFrame(this, kFrame3);
    shpStatus = MakeShape(Frame3, "shpStatus", Shape::Circle, kRed, true, {1320, 1320, 255, 255});

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(kKeepAliveInterval);

    lblVersion = MakeDisplayField(this, "lblVersion", {1440, 3720, 735, 255});
    lblBDADDR = MakeDisplayField(this, "lblBDADDR", {120, 3360, 2055, 255});

    // The battery gauge stays hidden for the whole run.
    lblBattery = MakeLabel(this, {"lblBattery", QStringLiteral("Level"), {2040, 4440, 735, 255}});
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

    Label10 = MakeLabel(this, kLabel10);
    Label9 = MakeLabel(this, kLabel9);

    // These three belong to the window, not to the "Comm" frame they lie in: draw them above it.
    cmdRefresh->raise();
    cboPort->raise();
    cmdConnect->raise();
}
