#pragma once

#include <QColor>
#include <QImage>
#include <QPolygon>
#include <QWidget>
#include <cstdint>
#include <optional>

// The trace of 8-bit unsigned samples across a w x h area; nullopt when
// there are more than 50 samples a pixel column (nothing is drawn then).
std::optional<QPolygon> traceOfSamples(const uint8_t* samples, int count, int width, int height);
// A whole file's trace: every s-th sample when there are too many.
QPolygon traceOfFile(const uint8_t* samples, qsizetype count, int width, int height);

// The display panel's oscilloscope: live blocks of a call and the file
// being played, in the Monitor colours.
class Oscilloscope : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PaintHeight = 56;
    static inline const QString TooManyPointsText =
        QStringLiteral("Error \"DisplayData(a1:TDisp)\" Contact Ardentis support");

    explicit Oscilloscope(QWidget* parent = nullptr);
    void setColors(const QColor& back, const QColor& trace);
    // False when there were too many samples for the width.
    bool DisplayData(const uint8_t* samples, int count);
    void DisplayFile(const QByteArray& pcm8k);
    void ClearDisplay();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void draw(const QPolygon& trace);
    QImage m_image;
    QColor m_back = Qt::black;
    QColor m_trace = Qt::green;
};
