// What a screen reader announces for the controls that take input or show a value: the
// caption beside each, tied to its field as the label's buddy. Buttons and check boxes
// are announced by their own captions.
#include "frm_main.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString kLampConnected = QStringLiteral("Connection status: connected");
const QString kLampNotConnected = QStringLiteral("Connection status: not connected");

// A caption without the colon that ends it on screen.
QString NameFromCaption(const QLabel& caption) {
    QString name = caption.text();
    if (name.endsWith(u':'))
        name.chop(1);
    return name;
}

} // namespace

void frmMain::SetAccessibleNames() {
    const struct {
        QWidget* field;
        QLabel* caption;
        QLabel* hint;
    } fields[] = {
        {txtName, Label1, Label7},     {txtPin, Label2, Label8},      {txtAddr, lblCTA, lblFMT},
        {cboBaud, Label4, nullptr},    {cboStopBit, Label5, nullptr}, {cboParity, Label6, nullptr},
        {lblBDADDR, Label10, nullptr}, {lblVersion, Label9, nullptr},
    };
    for (const auto& [field, caption, hint] : fields) {
        field->setAccessibleName(NameFromCaption(*caption));
        caption->setBuddy(field);
        if (hint)
            field->setAccessibleDescription(hint->text());
    }
    // The text field of an editable list takes the keys: it carries the list's name too.
    for (QComboBox* list : {cboBaud, cboStopBit, cboParity})
        list->lineEdit()->setAccessibleName(list->accessibleName());
    // The port list stands in the "Comm" frame with no caption of its own.
    cboPort->setAccessibleName(QStringLiteral("COM port"));
    ShowLampName(false);
}

void frmMain::ShowLampName(bool connected) {
    shpStatus->setAccessibleName(connected ? kLampConnected : kLampNotConnected);
}
