#include "app/GreetingMessageGroup.h"
#include "app/ThemeIcons.h"

#include "calls/GreetingPreview.h"

#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QPushButton* transportButton(QWidget* parent, themeicons::Glyph icon, const QString& hint)
{
    auto* button = new QPushButton(themeicons::icon(icon, parent->palette()), QString(), parent);
    button->setToolTip(hint);
    return button;
}

} // namespace

GreetingMessageGroup::GreetingMessageGroup(const QString& dataFolder, Hooks hooks, QWidget* parent)
    : QGroupBox(QStringLiteral("  Message  "), parent), m_dataFolder(dataFolder), m_hooks(std::move(hooks)),
      m_preview(new GreetingPreview(this))
{
    m_type = new QComboBox(this);
    m_type->addItems({QStringLiteral("Play wav file"), QStringLiteral("Speak text"), QStringLiteral("Record from soundcard")});
    m_pages = new QStackedWidget(this);
    auto* wavPage = new QWidget(m_pages);
    m_wavName = new QLabel(wavPage);
    m_wavName->setTextFormat(Qt::PlainText);
    auto* browse = new QPushButton(QStringLiteral("Browse"), wavPage);
    auto* wavLayout = new QFormLayout(wavPage);
    auto* wavRow = new QHBoxLayout;
    wavRow->addWidget(m_wavName, 1);
    wavRow->addWidget(browse);
    wavLayout->addRow(QStringLiteral("Wav file"), wavRow);
    m_text = new QPlainTextEdit(m_pages);
    m_text->installEventFilter(this);
    m_pages->addWidget(wavPage);
    m_pages->addWidget(m_text);
    m_pages->addWidget(new QLabel(QStringLiteral("Press Record and speak; Stop ends the recording."), m_pages));

    m_play = transportButton(this, themeicons::Glyph::Play, QStringLiteral("Play"));
    m_play->setCheckable(true); // stays pressed while it plays
    m_stop = transportButton(this, themeicons::Glyph::Stop, QStringLiteral("Stop"));
    m_record = transportButton(this, themeicons::Glyph::Record, QStringLiteral("Record"));
    m_record->setText(QStringLiteral("Record"));
    m_save = new QPushButton(QStringLiteral("Save as..."), this);
    m_save->setToolTip(QStringLiteral("Save the greeting as callers hear it, into a WAV file"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_play, m_stop, m_record})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(m_save);

    auto* layout = new QVBoxLayout(this);
    auto* typeRow = new QFormLayout;
    typeRow->addRow(QStringLiteral("Type"), m_type);
    layout->addLayout(typeRow);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);

    connect(m_type, &QComboBox::activated, this, &GreetingMessageGroup::typeChosen);
    connect(browse, &QPushButton::clicked, this, &GreetingMessageGroup::browse);
    connect(m_play, &QPushButton::clicked, this, &GreetingMessageGroup::play);
    connect(m_stop, &QPushButton::clicked, this, &GreetingMessageGroup::stop);
    connect(m_record, &QPushButton::clicked, this, &GreetingMessageGroup::record);
    connect(m_save, &QPushButton::clicked, this, &GreetingMessageGroup::saveAs);
    connect(m_preview, &GreetingPreview::finished, this, &GreetingMessageGroup::previewEnded);
    connect(m_preview, &GreetingPreview::saved, this, [this](const QString& path, const QString& error) {
        if (!error.isEmpty())
            emit problem(error);
        else
            m_save->setToolTip(QStringLiteral("Saved to ") + path);
    });
}

GreetingMessageGroup::~GreetingMessageGroup() = default;

void GreetingMessageGroup::showMessage()
{
    if (recording())
        return;
    const GreetingMessage message = m_hooks.message();
    m_type->setCurrentIndex(message.msgType);
    m_wavName->setText(QFileInfo(message.wav).fileName());
    m_wavName->setToolTip(message.wav);
    if (m_text->toPlainText() != message.tts)
        m_text->setPlainText(message.tts);
    showPage(message.msgType);
}

void GreetingMessageGroup::showPage(int type)
{
    m_pages->setCurrentIndex(std::clamp(type, 0, 2));
    m_record->setEnabled(type == 2);
}

void GreetingMessageGroup::commitText()
{
    if (m_pages->currentIndex() == 1)
        m_hooks.setText(m_text->toPlainText());
}

void GreetingMessageGroup::setVoice(int index, const QString& id, int volume)
{
    m_preview->setVoice(index, id, volume);
}

bool GreetingMessageGroup::recording() const
{
    return m_preview->state() == GreetingPreview::State::Recording;
}

bool GreetingMessageGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text && event->type() == QEvent::FocusOut)
        commitText();
    return QGroupBox::eventFilter(watched, event);
}

void GreetingMessageGroup::typeChosen(int type)
{
    commitText();
    m_hooks.setType(type);
    showMessage();
}

void GreetingMessageGroup::browse()
{
    const QString current = m_hooks.message().wav;
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Greeting"), QFileInfo(current).absolutePath(),
        QStringLiteral("Sound files (*.wav *.flac *.ogg *.oga *.opus *.mp3 *.aiff *.au);;wav (*.wav);;All files (*)"));
    if (chosen.isEmpty())
        return; // a cancelled choice keeps the file there was
    QString error;
    const QString path = greetingFileFor(m_dataFolder, chosen, &error);
    if (path.isEmpty()) {
        emit problem(error);
        return;
    }
    m_hooks.setWavFile(path);
    showMessage();
}

void GreetingMessageGroup::play()
{
    if (m_preview->state() != GreetingPreview::State::Idle) {
        m_play->setChecked(m_preview->state() != GreetingPreview::State::Recording);
        return; // pressing it while it runs does nothing
    }
    commitText();
    QString why;
    const bool started = m_preview->play(m_hooks.message().greeting(QString()), &why);
    m_play->setChecked(started); // pops back up when there is nothing to hear
    if (!started && !why.isEmpty())
        m_play->setToolTip(QStringLiteral("Play (") + why + QLatin1Char(')'));
}

void GreetingMessageGroup::stop()
{
    m_preview->stop();
}

void GreetingMessageGroup::record()
{
    QString why;
    if (!m_preview->record(m_hooks.message().recordedFile, &why)) {
        emit problem(why);
        return;
    }
    m_type->setEnabled(false);
    m_play->setEnabled(false);
    m_save->setEnabled(false);
    emit recordingChanged(true);
}

void GreetingMessageGroup::saveAs()
{
    commitText();
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save greeting"), QString(),
                                                      QStringLiteral("wav (*.wav)"));
    if (path.isEmpty())
        return;
    QString why;
    if (!m_preview->saveTo(m_hooks.message().greeting(QString()), path, &why))
        emit problem(why);
}

void GreetingMessageGroup::previewEnded(const QString& error)
{
    const bool wasRecording = !m_type->isEnabled();
    m_play->setChecked(false);
    m_type->setEnabled(true);
    m_play->setEnabled(true);
    m_save->setEnabled(true);
    if (wasRecording)
        emit recordingChanged(false);
    if (!error.isEmpty())
        emit problem(error);
}
