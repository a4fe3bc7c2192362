#include "app/Oscilloscope.h"

#include <QPainter>
#include <cmath>

namespace {

constexpr int MaxSamplesPerColumn = 50;

int yOf(uint8_t b, int height)
{
    return height - int(std::nearbyint(double(b) * height / 254.0));
}

int xOf(qsizetype k, int width, qsizetype count)
{
    return int(std::nearbyint(double(k) * width / double(count)));
}

} // namespace

std::optional<QPolygon> traceOfSamples(const uint8_t* samples, int count, int width, int height)
{
    if (count > MaxSamplesPerColumn * width)
        return std::nullopt;
    QPolygon trace;
    if (count <= 0)
        return trace;
    trace.reserve(count);
    for (int i = 0; i < count; ++i)
        trace << QPoint(xOf(i, width, count), yOf(samples[i], height));
    return trace;
}

QPolygon traceOfFile(const uint8_t* samples, qsizetype count, int width, int height)
{
    QPolygon trace;
    if (count <= 0 || width <= 0)
        return trace;
    const qsizetype limit = qsizetype(MaxSamplesPerColumn) * width;
    const qsizetype step = count > limit ? count / limit : 1;
    trace.reserve(int(count / step + 1));
    for (qsizetype k = 0; k < count; k += step)
        trace << QPoint(xOf(k, width, count), yOf(samples[k], height));
    return trace;
}

Oscilloscope::Oscilloscope(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(PaintHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_image = QImage(std::max(width(), 1), PaintHeight, QImage::Format_RGB32);
    m_image.fill(m_back);
}

void Oscilloscope::setColors(const QColor& back, const QColor& trace)
{
    m_back = back;
    m_trace = trace;
    ClearDisplay();
}

bool Oscilloscope::DisplayData(const uint8_t* samples, int count)
{
    const auto trace = traceOfSamples(samples, count, m_image.width(), m_image.height());
    if (!trace)
        return false;
    draw(*trace);
    return true;
}

void Oscilloscope::DisplayFile(const QByteArray& pcm8k)
{
    draw(traceOfFile(reinterpret_cast<const uint8_t*>(pcm8k.constData()), pcm8k.size(), m_image.width(),
                     m_image.height()));
}

void Oscilloscope::ClearDisplay()
{
    draw(QPolygon());
}

void Oscilloscope::draw(const QPolygon& trace)
{
    m_image.fill(m_back);
    if (trace.size() > 1) {
        QPainter painter(&m_image);
        painter.setPen(QPen(m_trace, 1));
        painter.drawPolyline(trace);
    }
    update();
}

void Oscilloscope::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void Oscilloscope::resizeEvent(QResizeEvent*)
{
    // The width follows the panel, the height stays.
    m_image = QImage(std::max(width(), 1), PaintHeight, QImage::Format_RGB32);
    m_image.fill(m_back);
}
