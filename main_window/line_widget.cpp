// Places the line's widget around its two ends and paints the line.
#include "line_widget.h"

#include <QPainter>

namespace main_window {

LineWidget::LineWidget(QPoint from, QPoint to, int penWidth, Qt::PenStyle penStyle, Colour colour,
                       QWidget* container)
    : QWidget(container), m_from(from), m_to(to), m_penWidth(penWidth), m_penStyle(penStyle),
      m_colour(colour) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int reach = (penWidth + 1) / 2;
    setGeometry(QRect(from, to).normalized().adjusted(-reach, -reach, reach, reach));
}

QColor LineWidget::lineColor() const {
    // The desktop's grey text is what Qt's palette holds as disabled window text.
    if (m_colour == Colour::GreyText)
        return palette().color(QPalette::Disabled, QPalette::WindowText);
    return palette().color(QPalette::WindowText);
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(lineColor(), m_penWidth, m_penStyle, Qt::FlatCap));
    painter.drawLine(m_from - pos(), m_to - pos());
}

} // namespace main_window
