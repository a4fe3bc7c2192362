#include "app/PostProcessDialog.h"
#include "app/ThemeIcons.h"
#include "app/PlainMessage.h"

#include "app/HelpTopics.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int PostProcessingHelp = 1036;

} // namespace

PostProcessDialog::PostProcessDialog(Kind kind, QWidget* parent) : QDialog(parent), m_kind(kind)
{
    setWindowTitle(kind == Kind::VolumeLevel ? QStringLiteral("Volume level") : QStringLiteral("Voice equalizer"));
    m_play = new QPushButton(themeicons::icon(themeicons::Glyph::Play, palette()), QString(), this);
    m_play->setToolTip(QStringLiteral("Play"));
    m_play->setCheckable(true); // down while the preview plays
    m_stop = new QPushButton(themeicons::icon(themeicons::Glyph::Stop, palette()), QString(), this);
    m_stop->setToolTip(QStringLiteral("Stop"));
    m_apply = new QPushButton(QStringLiteral("&Apply"), this);
    m_save = new QPushButton(QStringLiteral("&Save"), this);
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_help = new QPushButton(QStringLiteral("Help"), this);
    m_gauge = new QProgressBar(this);
    m_gauge->setRange(0, 100);
    m_gauge->hide();

    auto* top = new QHBoxLayout;
    if (kind == Kind::VolumeLevel) {
        m_slider = new QSlider(Qt::Vertical, this);
        m_slider->setRange(postprocess::MinLevelPercent, postprocess::MaxLevelPercent);
        m_slider->setTickInterval(10);
        m_slider->setTickPosition(QSlider::TicksBothSides);
        m_slider->setMinimumHeight(160);
        m_percent = new QLabel(QStringLiteral("0%"), this);
        m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_percent->setMinimumWidth(m_percent->fontMetrics().horizontalAdvance(QStringLiteral("-100%")));
        auto* scale = new QVBoxLayout;
        for (int mark = postprocess::MaxLevelPercent; mark >= postprocess::MinLevelPercent; mark -= 25) {
            scale->addWidget(new QLabel(QString::number(mark) + QLatin1Char('%'), this));
            if (mark > postprocess::MinLevelPercent)
                scale->addStretch();
        }
        top->addWidget(m_slider);
        top->addLayout(scale);
        top->addWidget(m_percent);
        connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
            m_percent->setText(QString::number(position) + QLatin1Char('%'));
            m_apply->setEnabled(true);
        });
    } else {
        auto* text = new QLabel(QStringLiteral("Apply raises the quiet talk spurts of the recording\n"
                                               "to the average loudness of its voice."), this);
        top->addWidget(text);
    }
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_apply, m_save, m_close, m_help})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* transport = new QHBoxLayout;
    transport->addWidget(m_play);
    transport->addWidget(m_stop);
    buttons->addLayout(transport);
    top->addStretch();
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_gauge);
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));

    connect(m_apply, &QPushButton::clicked, this, &PostProcessDialog::apply);
    connect(m_save, &QPushButton::clicked, this, &PostProcessDialog::save);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_help, &QPushButton::clicked, this, [] { help::show(PostProcessingHelp); });
    connect(m_play, &QPushButton::clicked, this, &PostProcessDialog::play);
    connect(m_stop, &QPushButton::clicked, this, &PostProcessDialog::stop);
    connect(&m_session, &PostProcessSession::previewEnded, this, [this] { m_play->setChecked(false); });
}

PostProcessDialog::~PostProcessDialog() = default;

bool PostProcessDialog::open(const QString& path, QString* error)
{
    if (!m_session.open(path, error))
        return false;
    if (m_slider)
        m_slider->setValue(0);
    m_apply->setEnabled(m_kind == Kind::VoiceEqualizer);
    m_save->setEnabled(false);
    if (onDisplay)
        onDisplay(m_session.audio());
    return true;
}

void PostProcessDialog::setBusy(bool busy)
{
    m_applying = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{m_play, m_stop, m_apply, m_save, m_close, m_help})
        w->setEnabled(!busy);
    if (m_slider)
        m_slider->setEnabled(!busy);
    m_gauge->setValue(0);
    m_gauge->setVisible(busy);
}

void PostProcessDialog::progress(int percent)
{
    m_gauge->setValue(percent);
    QCoreApplication::processEvents(); // the window stays responsive; close waits
}

void PostProcessDialog::apply()
{
    if (m_applying)
        return;
    m_play->setChecked(false);
    setBusy(true);
    QCoreApplication::processEvents();
    const auto report = [this](int percent) { progress(percent); };
    bool changed = true;
    if (m_kind == Kind::VolumeLevel) {
        m_session.applyLevel(m_slider->value(), report);
    } else {
        changed = !m_session.equalize(report).noVoice();
    }
    setBusy(false);
    m_save->setEnabled(m_session.canSave());
    if (!changed)
        tell(QStringLiteral("The recording holds no voice to even out; it was left as it is."));
    else if (onDisplay)
        onDisplay(m_session.audio());
}

void PostProcessDialog::save()
{
    QString error;
    if (!m_session.save(&error)) {
        tell(error);
        return;
    }
    m_save->setEnabled(false);
    if (onSaved)
        onSaved(m_session.path());
}

void PostProcessDialog::play()
{
    QString error;
    if (!m_session.play(&error)) {
        m_play->setChecked(false);
        tell(error);
        return;
    }
    m_play->setChecked(true);
}

void PostProcessDialog::stop()
{
    m_session.stop();
    m_play->setChecked(false);
}

void PostProcessDialog::tell(const QString& text)
{
    m_messages << text;
    if (m_quiet)
        return;
    showPlainMessage(this, windowTitle(), text);
}

void PostProcessDialog::done(int result)
{
    if (m_applying)
        return; // Apply is under way: it ends first
    stop();
    if (onClearDisplay)
        onClearDisplay();
    QDialog::done(result);
}

void PostProcessDialog::closeEvent(QCloseEvent* event)
{
    if (m_applying) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void PostProcessDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        help::show(PostProcessingHelp);
        return;
    }
    if (m_applying && event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
