#include "app/GreetingDialogs.h"
#include "app/PlainMessage.h"

#include "app/GreetingMessageGroup.h"
#include "app/HelpTopics.h"
#include "calls/GreetingPreview.h"
#include "calls/GreetingTable.h"
#include "catalogue/TableError.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

constexpr int GreetingsHelp = 1006;
constexpr int ScheduleHelp = 1038;

void showProblem(QWidget* parent, const QString& text)
{
    showPlainMessage(parent, parent->windowTitle(), text, QMessageBox::Warning);
}

} // namespace

// --- Greeting Messages --------------------------------------------------------------

GreetingMessagesDialog::GreetingMessagesDialog(GreetingTable& table, const QString& dataFolder,
                                               const PreviewVoice& voice, QWidget* parent)
    : QDialog(parent), m_form(std::make_unique<GreetingMessagesForm>(table, dataFolder))
{
    setWindowTitle(QStringLiteral("Greeting Messages"));
    m_rows = new QListWidget(this);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_add = new QPushButton(QStringLiteral("Add..."), this);
    m_delete = new QPushButton(QStringLiteral("Delete..."), this);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    GreetingMessageGroup::Hooks hooks;
    hooks.message = [this] { return m_form->message(); };
    hooks.setType = [this](int type) { guarded([&] { m_form->setType(type); }); };
    hooks.setWavFile = [this](const QString& path) { guarded([&] { m_form->setWavFile(path); }); };
    hooks.setText = [this](const QString& text) { guarded([&] { m_form->setText(text); }); };
    m_message = new GreetingMessageGroup(dataFolder, std::move(hooks), this);
    m_message->setVoice(voice.index, voice.id, voice.volume);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Caller ID"), this));
    left->addWidget(m_rows, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_add, m_delete, m_close})
        buttons->addWidget(b);
    left->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(m_message, 1);
    resize(620, 340);

    connect(m_rows, &QListWidget::currentRowChanged, this, &GreetingMessagesDialog::rowChosen);
    connect(m_add, &QPushButton::clicked, this, &GreetingMessagesDialog::askCaller);
    connect(m_delete, &QPushButton::clicked, this, &GreetingMessagesDialog::deleteRow);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_message, &GreetingMessageGroup::recordingChanged, this, &GreetingMessagesDialog::recordingChanged);
    connect(m_message, &GreetingMessageGroup::problem, this, [this](const QString& text) { showProblem(this, text); });
    showRows();
}

GreetingMessagesDialog::~GreetingMessagesDialog() = default;

void GreetingMessagesDialog::guarded(const std::function<void()>& change)
{
    try {
        change();
    } catch (const TableError& e) {
        showProblem(this, e.message());
    }
}

void GreetingMessagesDialog::showRows()
{
    const QSignalBlocker quiet(m_rows);
    m_rows->clear();
    for (const CallerGreeting& row : m_form->rows())
        m_rows->addItem(row.callerId); // plain text: a list item is never markup
    m_rows->setCurrentRow(m_form->current());
    const bool any = m_form->hasRows();
    m_message->setEnabled(any);
    m_delete->setEnabled(any);
    m_message->showMessage();
}

void GreetingMessagesDialog::rowChosen(int row)
{
    m_message->commitText();
    m_form->setCurrent(row);
    m_message->showMessage();
}

void GreetingMessagesDialog::addCaller(const QString& callerId)
{
    m_message->commitText();
    guarded([&] { m_form->add(callerId); });
    showRows();
}

void GreetingMessagesDialog::askCaller()
{
    bool ok = false;
    const QString answer = QInputDialog::getText(this, QStringLiteral("Personal message for caller"),
                                                 QStringLiteral("Type caller ID"), QLineEdit::Normal, QString(), &ok);
    if (ok)
        addCaller(answer);
}

void GreetingMessagesDialog::deleteRow()
{
    if (QMessageBox::question(this, windowTitle(), QStringLiteral("Delete current record"),
                              QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    guarded([&] { m_form->removeCurrent(); });
    showRows();
}

void GreetingMessagesDialog::recordingChanged(bool on)
{
    m_rows->setEnabled(!on);
    m_close->setEnabled(!on);
    m_add->setEnabled(!on);
    m_delete->setEnabled(!on && m_form->hasRows());
}

void GreetingMessagesDialog::done(int result)
{
    m_message->preview().stop();
    m_message->commitText();
    QDialog::done(result);
}

void GreetingMessagesDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        help::show(GreetingsHelp);
        return;
    }
    QDialog::keyPressEvent(event);
}

// --- Schedule -----------------------------------------------------------------------

ScheduleDialog::ScheduleDialog(IniFile& ini, CurrentSettings& current, const QString& dataFolder,
                               const PreviewVoice& voice, QWidget* parent)
    : QDialog(parent), m_form(std::make_unique<ScheduleForm>(ini, current, dataFolder))
{
    setWindowTitle(QStringLiteral("Schedule"));
    m_period = new QComboBox(this);
    for (const QString& name : greetings::PeriodNames)
        m_period->addItem(name);
    m_period->setToolTip(QStringLiteral("You may set up to three time periods\nThe default time period has time span 24 hours\nThe other time periods overide the default once\nenabled."));
    m_enable = new QCheckBox(QStringLiteral("Enable"), this);
    m_enable->setToolTip(QStringLiteral("Enables or disables the time period"));
    auto* times = new QGroupBox(QStringLiteral("  Time period  "), this);
    m_from = new QTimeEdit(times);
    m_to = new QTimeEdit(times);
    for (QTimeEdit* t : {m_from, m_to})
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    auto* timeForm = new QFormLayout(times);
    timeForm->addRow(QStringLiteral("From time"), m_from);
    timeForm->addRow(QStringLiteral("To time"), m_to);
    GreetingMessageGroup::Hooks hooks;
    hooks.message = [this] { return m_form->message(); };
    hooks.setType = [this](int type) { m_form->setType(type); };
    hooks.setWavFile = [this](const QString& path) { m_form->setWavFile(path); };
    hooks.setText = [this](const QString& text) { m_form->setText(text); };
    m_message = new GreetingMessageGroup(dataFolder, std::move(hooks), this);
    m_message->setVoice(voice.index, voice.id, voice.volume);
    m_close = new QPushButton(QStringLiteral("Close"), this);

    auto* left = new QVBoxLayout;
    left->addWidget(m_period);
    left->addWidget(m_enable);
    left->addWidget(times);
    left->addStretch();
    left->addWidget(m_close);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(m_message, 1);
    resize(640, 320);

    connect(m_period, &QComboBox::currentIndexChanged, this, &ScheduleDialog::periodChosen);
    connect(m_enable, &QCheckBox::toggled, this, [this](bool on) { m_form->setEnabled(on); });
    connect(m_from, &QTimeEdit::timeChanged, this, [this](const QTime& t) { m_form->setFrom(t); });
    connect(m_to, &QTimeEdit::timeChanged, this, [this](const QTime& t) { m_form->setTo(t); });
    connect(m_close, &QPushButton::clicked, this, &ScheduleDialog::closeClicked);
    connect(m_message, &GreetingMessageGroup::recordingChanged, this, [this](bool on) {
        m_period->setEnabled(!on);
        m_close->setEnabled(!on);
    });
    connect(m_message, &GreetingMessageGroup::problem, this, [this](const QString& text) { showProblem(this, text); });
    periodChosen(0);
}

ScheduleDialog::~ScheduleDialog() = default;

void ScheduleDialog::periodChosen(int period)
{
    m_message->commitText();
    m_form->setCurrent(period);
    const PeriodSettings& p = m_form->period();
    for (QWidget* w : std::initializer_list<QWidget*>{m_enable, m_from, m_to})
        w->setEnabled(m_form->editsTimes());
    {
        const QSignalBlocker a(m_enable), b(m_from), c(m_to);
        m_enable->setChecked(p.enabled);
        m_from->setTime(p.from);
        m_to->setTime(p.to);
    }
    m_message->showMessage();
}

void ScheduleDialog::closeClicked()
{
    m_message->commitText();
    if (!m_form->close()) {
        showProblem(this, QStringLiteral("The schedule could not be written to the settings file."));
        return; // still held for this run
    }
    accept();
}

void ScheduleDialog::done(int result)
{
    m_message->preview().stop();
    m_message->commitText(); // held for the run, stored only by Close
    QDialog::done(result);
}

void ScheduleDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        help::show(ScheduleHelp);
        return;
    }
    QDialog::keyPressEvent(event);
}
