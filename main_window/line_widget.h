// A straight line between two points of its container, with a pen width, a pen style
// and a colour taken from the desktop's colour scheme.
#pragma once

#include <QPoint>
#include <QWidget>

namespace main_window {

class LineWidget : public QWidget {
    Q_OBJECT

public:
    enum class Colour { WindowText, GreyText };

    // The ends are in the container's coordinates; the widget covers just the line.
    LineWidget(QPoint from, QPoint to, int penWidth, Qt::PenStyle penStyle, Colour colour,
               QWidget* container);

    QPoint from() const { return m_from; }
    QPoint to() const { return m_to; }
    int penWidth() const { return m_penWidth; }
    Qt::PenStyle penStyle() const { return m_penStyle; }
    Colour colour() const { return m_colour; }
    QColor lineColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint m_from;
    QPoint m_to;
    int m_penWidth;
    Qt::PenStyle m_penStyle;
    Colour m_colour;
};

} // namespace main_window
