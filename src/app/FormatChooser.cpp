#include "app/FormatChooser.h"

#include "audio/AudioConvertor.h"
#include "audio/CodecRegistry.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

FormatChooser::FormatChooser(const QString& title, const TdeWaveFormat& current, QWidget* parent)
    : QDialog(parent), m_formats(CodecRegistry::instance().formats())
{
    setWindowTitle(title);
    m_list = new QListWidget(this);
    const QByteArray wanted = current.formatBuffer();
    for (const TdeWaveFormat& format : m_formats) {
        m_list->addItem(format.describe());
        if (format.formatBuffer() == wanted)
            m_list->setCurrentRow(m_list->count() - 1);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(420, 420);
}

TdeWaveFormat FormatChooser::chosen() const
{
    const int row = m_list->currentRow();
    return row >= 0 && row < int(m_formats.size()) ? m_formats[size_t(row)] : TdeWaveFormat();
}

bool FormatChooser::Choose(const QString& title, TdeWaveFormat* format, QWidget* parent)
{
    FormatChooser chooser(title, *format, parent);
    if (chooser.exec() != QDialog::Accepted || chooser.m_list->currentRow() < 0)
        return false;
    *format = chooser.chosen();
    return true;
}

bool recordingsConvertTo(const TdeWaveFormat& format)
{
    TdeWaveFormat line;
    line.setFormatTag(1);
    line.setChannels(1);
    line.setSamplesPerSec(8000);
    line.setAvgBytesPerSec(8000);
    line.setBlockAlign(1);
    line.setBitsPerSample(8);
    TdeAudioConvertor convertor;
    convertor.setFormatIn(line);
    convertor.setFormatOut(format);
    try {
        convertor.open();
        convertor.close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
