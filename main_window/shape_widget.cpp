// Paints the filled shape inside the widget's rectangle.
#include "shape_widget.h"

#include <QPainter>

#include <algorithm>

namespace main_window {

ShapeWidget::ShapeWidget(Shape shape, const QColor& fill, QWidget* parent)
    : QWidget(parent), m_shape(shape), m_fill(fill) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeWidget::setFillColor(const QColor& fill) {
    if (fill == m_fill)
        return;
    m_fill = fill;
    update();
}

void ShapeWidget::setOutlined(bool outlined) {
    if (outlined == m_outlined)
        return;
    m_outlined = outlined;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setBrush(m_fill);
    // The outline follows the desktop's colour scheme, as the window text does.
    if (m_outlined)
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    else
        painter.setPen(Qt::NoPen);

    // A pen of one pixel is centred on the edge: keep it inside the widget.
    const qreal inset = m_outlined ? 0.5 : 0.0;
    if (m_shape == Shape::Rectangle) {
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
        return;
    }
    // A circle keeps its round shape in a rectangle that is not square.
    const int diameter = std::min(width(), height());
    QRectF circle(0, 0, diameter, diameter);
    circle.moveCenter(QRectF(rect()).center());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawEllipse(circle.adjusted(inset, inset, -inset, -inset));
}

} // namespace main_window
