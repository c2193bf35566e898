#include "slot_tile.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <utility>

namespace station {
namespace {

constexpr int kMargin = 14;
// Point sizes: the state is meant to be read from a metre away, the port and detail from
// arm's length.
constexpr int kHeadlinePoints = 30;
constexpr int kPortPoints = 15;
constexpr int kDetailPoints = 14;
constexpr int kSmallestDetailPoints = 9;
constexpr int kFocusFrameWidth = 3;

QFont FontOf(const QFont& base, int points, bool bold) {
    QFont font = base;
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

} // namespace

SlotTile::SlotTile(QWidget* parent)
    : QWidget(parent), m_again(new QPushButton(tr("&Again"))),
      m_printAgain(new QPushButton(tr("Print &label again"))) {
    m_again->setToolTip(tr("Write the module in this slot again, though it passed"));
    m_again->setEnabled(false);
    m_printAgain->setToolTip(tr("Print the label of the unit in this slot again"));
    m_printAgain->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_printAgain);
    buttons->addStretch();
    buttons->addWidget(m_again);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addStretch();
    layout->addLayout(buttons);
    connect(m_again, &QPushButton::clicked, this, &SlotTile::againClicked);
    connect(m_printAgain, &QPushButton::clicked, this, [this] {
        // Once: the label comes out, or is told as not printed again, with the slot's next state.
        m_printAgain->setEnabled(false);
        setFocus(Qt::OtherFocusReason);
        emit printAgainClicked();
    });
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Focused, the tile is read out, and it keeps the focus when its Again is disabled.
    setFocusPolicy(Qt::StrongFocus);
    showState({});
}

void SlotTile::showState(const SlotState& state) {
    m_state = state;
    const TileLook shown = std::exchange(m_look, LookOf(state));
    // Setting them tells a screen reader of the change; a step of the same state changes the
    // description only, so a state is read out once, however many steps it takes.
    if (m_look.accessibleName != shown.accessibleName)
        setAccessibleName(m_look.accessibleName);
    if (m_look.accessibleDescription != shown.accessibleDescription)
        setAccessibleDescription(m_look.accessibleDescription);
    const bool again = state.phase == SlotPhase::Passed;
    // A disabled button hands the focus to the next one, the next tile's Again: a second
    // Space would write another module.
    if (!again && m_again->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_again->setEnabled(again);
    m_again->setAccessibleDescription(tr("Write the module in slot %1 again").arg(state.port));
    const bool printAgain = again && state.labelNotPrinted;
    if (!printAgain && m_printAgain->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_printAgain->setVisible(printAgain);
    m_printAgain->setEnabled(printAgain);
    m_printAgain->setAccessibleDescription(
        tr("Print the label of the unit in slot %1 again").arg(state.port));
    update();
}

void SlotTile::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void SlotTile::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

QSize SlotTile::sizeHint() const {
    return {360, 230};
}

QSize SlotTile::minimumSizeHint() const {
    return {300, 210};
}

void SlotTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(m_look.text, 1));
    painter.setBrush(m_look.background);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    if (hasFocus()) {
        painter.setPen(QPen(m_look.text, kFocusFrameWidth, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(4, 4, -4, -4), 6, 6);
        painter.setPen(QPen(m_look.text, 1));
    }

    // Every text is drawn as plain text: names and reasons may come from a module.
    QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    painter.setFont(FontOf(font(), kPortPoints, true));
    const QString where = m_state.device.isEmpty() || m_state.device == m_state.port
                              ? m_state.port
                              : m_state.port + QStringLiteral("  ") + m_state.device;
    const QFontMetrics portMetrics(painter.font());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop,
                     portMetrics.elidedText(where, Qt::ElideMiddle, area.width()));
    area.setTop(area.top() + portMetrics.height() + 4);

    painter.setFont(FontOf(font(), kHeadlinePoints, true));
    const QFontMetrics headlineMetrics(painter.font());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, m_look.headline);
    area.setTop(area.top() + headlineMetrics.height() + 2);

    area.setBottom(m_again->geometry().top() - 4);
    // A long reason gets smaller type rather than losing its end.
    for (int points = kDetailPoints; points >= kSmallestDetailPoints; --points) {
        painter.setFont(FontOf(font(), points, false));
        const QRect needed = painter.fontMetrics().boundingRect(
            area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_look.detail);
        if (needed.height() <= area.height())
            break;
    }
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_look.detail);
}

} // namespace station
