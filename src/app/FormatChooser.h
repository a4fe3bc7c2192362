#pragma once

#include "audio/WaveFormat.h"

#include <QDialog>
#include <QListWidget>
#include <vector>

// The audio format chooser: every format the codec layer offers, starting
// at the current one.
class FormatChooser : public QDialog
{
    Q_OBJECT
public:
    FormatChooser(const QString& title, const TdeWaveFormat& current, QWidget* parent = nullptr);
    // True with *format replaced when a format was chosen with OK.
    static bool Choose(const QString& title, TdeWaveFormat* format, QWidget* parent);
    TdeWaveFormat chosen() const;
    QListWidget* list() const { return m_list; }

private:
    std::vector<TdeWaveFormat> m_formats;
    QListWidget* m_list;
};

// Whether recorded audio (8 kHz 8-bit mono) converts into the format.
bool recordingsConvertTo(const TdeWaveFormat& format);
