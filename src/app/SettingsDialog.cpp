#include "app/SettingsDialog.h"
#include "app/NotifySettingsTab.h"
#include "app/WebSettingsTab.h"

#include "app/FormatChooser.h"
#include "app/GreetingDialogs.h"
#include "app/StoredLook.h"
#include "calls/GreetingTable.h"
#include "catalogue/TableError.h"
#include "app/HelpTopics.h"
#include "app/HintPause.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "platform/Autostart.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStorageInfo>
#include <QTimer>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const int TabHelp[] = {1042, 1043, 1040, 1041, 1039, 1044};
constexpr int HintPauseMs = 4500;

void paintSwatch(QPushButton* button, int stored, const QColor& shown)
{
    QPixmap swatch(16, 16);
    swatch.fill(shown);
    button->setIcon(QIcon(swatch));
    button->setProperty("stored", stored);
}

// "Used space" and "Free space" in the meter's own colours.
QWidget* legend(QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const std::pair<QPalette::ColorRole, QString> parts[] = {{QPalette::Highlight, QStringLiteral("Used space")},
                                                             {QPalette::Base, QStringLiteral("Free space")}};
    for (const auto& [role, text] : parts) {
        auto* swatch = new QLabel(row);
        QPixmap pixmap(12, 12);
        pixmap.fill(row->palette().color(role));
        swatch->setPixmap(pixmap);
        swatch->setFrameShape(QFrame::Box);
        layout->addWidget(swatch);
        layout->addWidget(new QLabel(text, row));
        layout->addSpacing(12);
    }
    layout->addStretch();
    return row;
}

QSpinBox* spin(QWidget* parent, const settings::Key& key)
{
    auto* box = new QSpinBox(parent);
    box->setRange(key.minimum, key.maximum);
    return box;
}

} // namespace

SettingsDialog::SettingsDialog(IniFile& ini, std::vector<SpeechVoice> voices, QWidget* parent)
    : QDialog(parent), m_ini(ini), m_form(SettingsForm::load(ini)), m_voices(std::move(voices))
{
    setWindowTitle(QStringLiteral("Settings"));
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(generalTab(), QStringLiteral("   General   "));
    m_tabs->addTab(modemTab(), QStringLiteral("   Modem  "));
    m_tabs->addTab(playerTab(), QStringLiteral("Audio player"));
    m_tabs->addTab(recordingTab(), QStringLiteral("Automatic recording"));
    m_tabs->addTab(answeringTab(), QStringLiteral("Answering machine"));
    m_tabs->addTab(storageTab(), QStringLiteral("  Storage  "));
    m_notifyTab = new NotifySettingsTab(m_ini, m_tabs);
    m_tabs->addTab(m_notifyTab, QStringLiteral("Mail and MQTT"));
    m_web = new WebSettingsTab(ini, this);
    m_tabs->addTab(m_web, QStringLiteral("Web interface"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == 5)
            refreshDisk();
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { help::show(TabHelp[std::clamp(m_tabs->currentIndex(), 0, 5)]); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    showForm(m_form);
    auto* pause = new HintPause(HintPauseMs, this);
    for (auto& hinted : m_hints)
        pause->watch(hinted.first);
    pause->watch(m_voiceLabel);
    setMinimumWidth(m_tabs->tabBar()->sizeHint().width() + 40); // every tab in sight
}

QWidget* SettingsDialog::generalTab()
{
    auto* tab = new QWidget;
    auto* format = new QGroupBox(QStringLiteral("  File  compression format  "), tab);
    m_format = new QLabel(format);
    m_format->setText(settings::readString(m_ini, keys::FileCompressionDesc));
    auto* selectFormat = new QPushButton(QStringLiteral("Select"), format);
    connect(selectFormat, &QPushButton::clicked, this, [this] {
        TdeWaveFormat chosen;
        chosen.setFormatBuffer(settings::readBinary(m_ini, keys::FileCompressionBin).value_or(QByteArray()));
        if (!FormatChooser::Choose(QStringLiteral("Choose file compression format"), &chosen, this))
            return;
        if (!recordingsConvertTo(chosen)) {
            QMessageBox::warning(this, windowTitle(), QStringLiteral("Error was created. Choose a different compression."));
            return;
        }
        // Written at once, as it was chosen (Cancel keeps it).
        const QString text = chosen.describe();
        settings::writeString(m_ini, keys::FileCompressionDesc, text);
        settings::writeBinary(m_ini, keys::FileCompressionBin, chosen.formatBuffer());
        m_format->setText(text);
    });
    auto* formatLayout = new QHBoxLayout(format);
    formatLayout->addWidget(m_format, 1);
    formatLayout->addWidget(selectFormat);
    auto* fonts = new QGroupBox(QStringLiteral("  Fonts  "), tab);
    m_font = new QLabel(fonts);
    auto* selectFont = new QPushButton(QStringLiteral("Select"), fonts);
    connect(selectFont, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, look::storedFont(m_form.fontName, m_form.fontSize), this);
        if (!ok)
            return;
        m_form.fontName = font.family();
        m_form.fontSize = font.pointSize();
        m_form.fontChosen = true; // written by Ok only
        m_font->setText(m_form.fontName);
    });
    m_fontColor = new QPushButton(QStringLiteral("Colour"), fonts);
    connect(m_fontColor, &QPushButton::clicked, this, &SettingsDialog::chooseFontColor);
    auto* fontLayout = new QHBoxLayout(fonts);
    fontLayout->addWidget(m_font, 1);
    fontLayout->addWidget(selectFont);
    fontLayout->addWidget(m_fontColor);
    m_startUp = new QCheckBox(QStringLiteral("Run as a system service (load at start up)"), tab);
    m_callerId = new QCheckBox(QStringLiteral("Enable caller ID"), tab);
    m_showHints = new QCheckBox(QStringLiteral("Show hints"), tab);
    m_notifications = new QCheckBox(QStringLiteral("Desktop notifications for calls, messages and the modem"), tab);
    m_popupToo = new QCheckBox(QStringLiteral("Caller ID popup as well"), tab);
    connect(m_notifications, &QCheckBox::toggled, m_popupToo, &QWidget::setEnabled);
    m_hints.push_back({m_notifications, QStringLiteral("Incoming calls, new messages and a modem that is lost or found\nare shown by the desktop's notifications; without them\nthe caller ID popup and the tray icon tell them.")});
    connect(m_showHints, &QCheckBox::toggled, this, &SettingsDialog::applyHints);
    m_hints.push_back({m_startUp, QStringLiteral("Check this option if you want the software to be\nloaded in memory during windows start-up")});
    m_hints.push_back({m_callerId, QStringLiteral("Check this option if you want to enable caller ID\nIn order to have caller ID your telephone company or your PBX\nhas to provide it.\nYour modem is responsible to decode and provide it to the software.\nA cause for not having caller ID presented is that your\nmodem driver is not capable to decode it reliably.")});
    auto* support = new QGroupBox(QStringLiteral("  Support mail  "), tab);
    m_supportAddress = new QLineEdit(support);
    m_supportAddress->setPlaceholderText(QStringLiteral("typed in your mail program when empty"));
    m_smtpServer = new QLineEdit(support);
    m_smtpServer->setPlaceholderText(QStringLiteral("empty: your mail program sends it"));
    m_smtpPort = spin(support, keys::SmtpPort);
    m_smtpAccount = new QLineEdit(support);
    m_smtpAccount->setPlaceholderText(QStringLiteral("the password is asked when sending"));
    auto* supportForm = new QFormLayout(support);
    supportForm->addRow(QStringLiteral("Support address"), m_supportAddress);
    supportForm->addRow(QStringLiteral("Mail server (TLS)"), m_smtpServer);
    supportForm->addRow(QStringLiteral("Port"), m_smtpPort);
    supportForm->addRow(QStringLiteral("Account"), m_smtpAccount);
    m_hints.push_back({m_smtpServer, QStringLiteral("Help, Ask support and error reports go through this server\nwhen you set one, always encrypted (STARTTLS, or TLS on port 465).\nWithout it your mail program opens with the message.")});
    auto* layout = new QVBoxLayout(tab);
    for (QWidget* w : std::initializer_list<QWidget*>{format, fonts, m_startUp, m_callerId, m_notifications, m_popupToo, m_showHints, support})
        layout->addWidget(w);
    layout->addStretch();
    return tab;
}

QWidget* SettingsDialog::modemTab()
{
    auto* tab = new QWidget;
    auto* model = new QGroupBox(QStringLiteral("  Model  "), tab);
    m_model = new QLabel(model);
    m_model->setTextFormat(Qt::PlainText);
    (new QVBoxLayout(model))->addWidget(m_model);
    auto* port = new QGroupBox(QStringLiteral("  Port settings  "), tab);
    m_baud = new QComboBox(port);
    for (int baud : SettingsForm::BaudRates)
        m_baud->addItem(QString::number(baud), baud);
    m_flow = new QComboBox(port);
    m_flow->addItems({QStringLiteral("Hardware"), QStringLiteral("Software"), QStringLiteral("None")});
    m_timeout = spin(port, keys::Timeout);
    m_timeout->setSuffix(QStringLiteral(" (sec)"));
    auto* portForm = new QFormLayout(port);
    portForm->addRow(QStringLiteral("Baudrate"), m_baud);
    portForm->addRow(QStringLiteral("Flow control"), m_flow);
    portForm->addRow(QStringLiteral("Command time out"), m_timeout);
    m_hints.push_back({m_baud, QStringLiteral("Defines the baudrate between modem and software.\nDo not change this value unless instructed by\ntechnical support to do so")});
    m_hints.push_back({m_flow, QStringLiteral("Defines the flaw control of asynchronous communcation\nbetween software and modem.\nDo not change this value unless instructed by\ntechnical support to do so")});
    m_hints.push_back({m_timeout, QStringLiteral("Defines the time the software has to wait to receive a valid\nreply after it has issued a commmand to the modem.\nDo not change this value unless instructed by\ntechnical support to do so")});
    auto* gain = new QGroupBox(QStringLiteral("  Gain  "), tab);
    m_playGain = new QSlider(Qt::Horizontal, gain);
    m_recordGain = new QSlider(Qt::Horizontal, gain);
    for (QSlider* s : {m_playGain, m_recordGain})
        s->setTickPosition(QSlider::TicksBelow);
    auto* gainForm = new QFormLayout(gain);
    for (auto [text, slider] : {std::pair{"Play", m_playGain}, std::pair{"Record", m_recordGain}}) {
        auto* row = new QHBoxLayout;
        auto* value = new QLabel(gain);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        connect(slider, &QSlider::valueChanged, value, [value](int v) { value->setNum(v); });
        value->setNum(slider->value());
        row->addWidget(slider, 1);
        row->addWidget(value);
        gainForm->addRow(QLatin1String(text), row);
    }
    m_hints.push_back({m_playGain, QStringLiteral("With Play gain you set the gain a file is played through your\nmodem to the line.")});
    m_hints.push_back({m_recordGain, QStringLiteral("With Record gain you set the gain of the record operation.")});
    auto* layout = new QVBoxLayout(tab);
    m_findModems = new QPushButton(QStringLiteral("Find modems"), tab);
    m_findModems->setEnabled(false);
    connect(m_findModems, &QPushButton::clicked, this, &SettingsDialog::findModems);
    auto* find = new QHBoxLayout;
    find->addWidget(m_findModems);
    find->addStretch();
    layout->addLayout(find);
    layout->addWidget(model);
    layout->addWidget(port);
    layout->addWidget(gain);
    layout->addStretch();
    return tab;
}

QWidget* SettingsDialog::playerTab()
{
    auto* tab = new QWidget;
    auto* builtIn = new QGroupBox(QStringLiteral("Build-in audio player"), tab);
    m_points = new QComboBox(builtIn);
    for (int i = 0; i <= 9; ++i)
        m_points->addItem(QString::number(1200 + 200 * i));
    m_playTrace = new QCheckBox(QStringLiteral("Enable during play"), builtIn);
    m_recordTrace = new QCheckBox(QStringLiteral("Enable during record"), builtIn);
    m_back = new QPushButton(QStringLiteral("Background"), builtIn);
    m_trace = new QPushButton(QStringLiteral("Trace"), builtIn);
    for (QPushButton* b : {m_back, m_trace})
        connect(b, &QPushButton::clicked, this, [this, b] {
            const QColor c = QColorDialog::getColor(look::storedColor(b->property("stored").toInt(), palette()), this);
            if (c.isValid())
                paintSwatch(b, look::storedValue(c), c);
        });
    auto* form = new QFormLayout(builtIn);
    form->addRow(QStringLiteral("Points to display"), m_points);
    form->addRow(m_playTrace);
    form->addRow(m_recordTrace);
    auto* colors = new QHBoxLayout;
    colors->addWidget(m_back);
    colors->addWidget(m_trace);
    form->addRow(QStringLiteral("  Color  "), colors);
    m_extPlayer = new QCheckBox(QStringLiteral("External audio player"), tab);
    m_player = new QLineEdit(tab);
    m_player->setPlaceholderText(QStringLiteral("empty: the desktop's default player"));
    auto* browse = new QPushButton(QStringLiteral("..."), tab);
    m_playerBrowse = browse;
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Player"), QStringLiteral("/usr/bin"));
        if (path.isEmpty())
            return;
        m_player->setText(path);
        settings::writeString(m_ini, keys::Player, path); // at once, as it was chosen
    });
    connect(m_extPlayer, &QCheckBox::toggled, m_player, &QWidget::setEnabled);
    connect(m_extPlayer, &QCheckBox::toggled, browse, &QWidget::setEnabled);
    m_hints.push_back({m_extPlayer, QStringLiteral("Check this option if you want to use a different\nmedia player to play your recorded files.")});
    m_hints.push_back({m_playTrace, QStringLiteral("Check this option if you want to monitor the voice singal on\nthe scope when playing a recoring")});
    m_hints.push_back({m_recordTrace, QStringLiteral("Check this option if you want to monitor the voice singal on\nthe scope during recording")});
    m_hints.push_back({m_back, QStringLiteral("Click the button to set the background color of the scope")});
    m_hints.push_back({m_trace, QStringLiteral("Click the button to set the color of the trace oschillating")});
    m_hints.push_back({browse, QStringLiteral("Browse")});
    auto* external = new QHBoxLayout;
    external->addWidget(m_player, 1);
    external->addWidget(browse);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(builtIn);
    layout->addWidget(m_extPlayer);
    layout->addLayout(external);
    layout->addStretch();
    return tab;
}

QWidget* SettingsDialog::recordingTab()
{
    auto* tab = new QWidget;
    m_autoRecord = new QCheckBox(QStringLiteral("Automatically record all incoming calls when i lift handset"), tab);
    auto* conditions = new QGroupBox(QStringLiteral("  Disconnect conditions  "), tab);
    m_silence = new QCheckBox(QStringLiteral("On"), conditions);
    m_discTime = spin(conditions, keys::DiscTime);
    m_periodic = new QCheckBox(QStringLiteral("On periodic signal"), conditions);
    m_cadence = new QCheckBox(QStringLiteral("On cadence"), conditions);
    auto* silence = new QHBoxLayout;
    silence->addWidget(m_silence);
    silence->addWidget(m_discTime);
    silence->addWidget(new QLabel(QStringLiteral("seconds of silence"), conditions));
    silence->addStretch();
    auto* c = new QVBoxLayout(conditions);
    c->addLayout(silence);
    c->addWidget(m_periodic);
    c->addWidget(m_cadence);
    m_hints.push_back({conditions, QStringLiteral("Disconnect conditions determine how the software will\nunderstand that the call has completed. There are thee\nways for that.\n1. Silence\nWhen there is a perid of X sec of silence in your call\nthe recording will stop assuming it has completed.\n2. Periodic singal\nThe tel line or the PBX sends a periodic signal after\nhang-up to indicate that the call completed.\n3. Cadence\nThe tel line or the PBX sends a cadence signal after\nhang-up to indicate that the call completed.\nYou may listen to a recorded incoming call to check\nwhat happens after a call is completed and set the right\ncondition.")});
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(m_autoRecord);
    layout->addWidget(conditions);
    layout->addStretch();
    return tab;
}

QWidget* SettingsDialog::answeringTab()
{
    auto* tab = new QWidget;
    m_answering = new QCheckBox(QStringLiteral("Enable answering machine after "), tab);
    m_rings = spin(tab, keys::AmRings);
    auto* rings = new QHBoxLayout;
    rings->addWidget(m_answering);
    rings->addWidget(m_rings);
    rings->addWidget(new QLabel(QStringLiteral("rings"), tab));
    rings->addStretch();
    m_voice = new QComboBox(tab);
    for (const SpeechVoice& voice : m_voices)
        m_voice->addItem(voice.description(), voice.id);
    m_voice->setPlaceholderText(QStringLiteral("the speech engine's default voice"));
    m_voiceLabel = new QLabel(QStringLiteral("Text to speech voice"), tab);
    m_voiceLabel->setToolTip(QStringLiteral("Test to speech voice")); // shown with hints off too
    m_maxMsg = new QCheckBox(QStringLiteral("Maximum  recorded message length"), tab);
    m_msgTime = spin(tab, keys::MsgTime);
    m_msgTime->setSuffix(QStringLiteral(" sec"));
    m_hangup = new QLineEdit(tab);
    m_remote = new QLineEdit(tab);
    m_weakCode = new QLabel(QStringLiteral("With a code of fewer than four digits anyone who calls could listen to your messages."), tab);
    m_weakCode->setWordWrap(true);
    QPalette warning = m_weakCode->palette(); // a red that reads on a light or a dark window
    warning.setColor(QPalette::WindowText, warning.color(QPalette::Window).lightnessF() < 0.5 ? QColor(0xff, 0x8a, 0x80)
                                                                                             : QColor(0xb0, 0x00, 0x20));
    m_weakCode->setPalette(warning);
    connect(m_remote, &QLineEdit::textChanged, this,
            [this](const QString& code) { m_weakCode->setVisible(code.size() < SettingsForm::MinRemoteCodeDigits); });
    m_beep = new QCheckBox(QStringLiteral("Beep after greeting"), tab);
    m_hints.push_back({m_hangup, QStringLiteral("There are times when asnwering machine answers the call but\nwe want to stop it.\nAt that moment when greeting messsage plays on the line\ndial the digits on your phone to stop it")});
    m_hints.push_back({m_remote, QStringLiteral("We may access our answering machine to listen to recorded\nmessage making a call. When answering machine answers the call\nwe dial the \"remote access code\" and drive our way through the\nrecorded messages")});
    m_hints.push_back({m_beep, QStringLiteral("Check this option if you want after the the gretting messages to\nplay a tone")});
    auto* form = new QFormLayout;
    form->addRow(m_voiceLabel, m_voice);
    auto* length = new QHBoxLayout;
    length->addWidget(m_maxMsg);
    length->addWidget(m_msgTime);
    length->addStretch();
    form->addRow(length);
    form->addRow(QStringLiteral("Hangup sequence"), m_hangup);
    form->addRow(QStringLiteral("Remote access code"), m_remote);
    form->addRow(m_weakCode);
    auto* greetings = new QGroupBox(QStringLiteral(" Greeting messages  "), tab);
    auto* g = new QVBoxLayout(greetings);
    m_greetings = new QPushButton(QStringLiteral("Greetings"), greetings);
    m_schedule = new QPushButton(QStringLiteral("Schedule"), greetings);
    m_greetings->setEnabled(false);
    m_schedule->setEnabled(false);
    connect(m_greetings, &QPushButton::clicked, this, &SettingsDialog::openGreetings);
    connect(m_schedule, &QPushButton::clicked, this, &SettingsDialog::openSchedule);
    auto* greetingButtons = new QHBoxLayout;
    greetingButtons->addWidget(m_greetings);
    greetingButtons->addWidget(m_schedule);
    greetingButtons->addStretch();
    g->addLayout(greetingButtons);
    g->addWidget(m_beep);
    connect(m_answering, &QCheckBox::toggled, this, &SettingsDialog::answeringToggled);
    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(rings);
    layout->addLayout(form);
    layout->addWidget(greetings);
    layout->addStretch();
    return tab;
}

QWidget* SettingsDialog::storageTab()
{
    auto* tab = new QWidget;
    m_wavDir = new QLineEdit(tab);
    m_wavDir->setReadOnly(true);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), tab);
    m_hints.push_back({browse, QStringLiteral("Select folder")});
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Select folder"), m_wavDir->text());
        if (chosen.isEmpty())
            return;
        if (!QFileInfo(chosen).isWritable()) {
            QMessageBox::warning(this, windowTitle(), QStringLiteral("%1 cannot be written to.").arg(chosen));
            return;
        }
        m_wavDir->setText(chosen.endsWith(QLatin1Char('/')) ? chosen : chosen + QLatin1Char('/'));
        refreshDisk();
    });
    m_hints.push_back({m_wavDir, QStringLiteral("You may select to keep your recorded files to a different\nfolder than the default. Click on Browse button and select\nthe new folder for wav file storage\nYou have also to move the files from your old folder to the\nnew in order to be accessible")});
    m_disk = new QLabel(tab);
    m_used = new QProgressBar(tab);
    m_used->setFormat(QStringLiteral("%p%"));
    m_legend = legend(tab);
    auto* folder = new QHBoxLayout;
    folder->addWidget(m_wavDir, 1);
    folder->addWidget(browse);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(new QLabel(QStringLiteral("Storage folder"), tab));
    layout->addLayout(folder);
    layout->addWidget(m_disk);
    layout->addWidget(m_used);
    layout->addWidget(m_legend);
    layout->addStretch();
    return tab;
}

void SettingsDialog::refreshDisk()
{
    const QStorageInfo storage(m_wavDir->text());
    const bool known = storage.isValid() && storage.bytesTotal() > 0;
    m_disk->setText(known ? QStringLiteral("Disk %1 (%2)").arg(storage.rootPath(), QString::fromUtf8(storage.device())) : QString());
    m_used->setVisible(known);
    m_legend->setVisible(known);
    if (known)
        m_used->setValue(int(std::lround(double(storage.bytesTotal() - storage.bytesAvailable()) * 100.0
                                         / double(storage.bytesTotal()))));
}

void SettingsDialog::showForm(const SettingsForm& f)
{
    m_startUp->setChecked(f.startUp);
    m_supportAddress->setText(f.supportAddress);
    m_smtpServer->setText(f.smtpServer);
    m_smtpPort->setValue(f.smtpPort);
    m_smtpAccount->setText(f.smtpAccount);
    m_callerId->setChecked(f.callerId);
    m_callerId->setEnabled(f.callerIdAvailable);
    m_showHints->setChecked(f.showHints);
    m_notifications->setChecked(f.notifications);
    m_popupToo->setChecked(f.popupWithNotification);
    m_popupToo->setEnabled(f.notifications);
    m_font->setText(f.fontName);
    m_font->setFont(look::storedFont(f.fontName, f.fontSize));
    paintSwatch(m_fontColor, f.fontColor, look::fontColor(f.fontColor, palette()));
    m_model->setText(f.modemDefined ? f.model.trimmed() + QStringLiteral("\nCom ") + QString::number(f.port)
                                    : QStringLiteral("No modem detected\nCom "));
    m_baud->setCurrentIndex(std::max(0, m_baud->findData(f.baudrate)));
    m_flow->setCurrentIndex(f.flowControl);
    m_timeout->setValue(f.timeout);
    m_playGain->setRange(f.playMin, f.playMax);
    m_recordGain->setRange(f.recordMin, f.recordMax);
    m_playGain->setTickInterval(SettingsForm::tickStep(f.playMin, f.playMax));
    m_recordGain->setTickInterval(SettingsForm::tickStep(f.recordMin, f.recordMax));
    m_playGain->setValue(f.playGain);
    m_recordGain->setValue(f.recordGain);
    for (QWidget* w : std::initializer_list<QWidget*>{m_baud, m_flow, m_timeout})
        w->setEnabled(f.modemDefined);
    m_playGain->setEnabled(f.modemDefined && f.voiceFeatures);
    m_recordGain->setEnabled(f.modemDefined && f.voiceFeatures);
    m_points->setCurrentIndex(std::clamp(f.points, 0, 9));
    m_playTrace->setChecked(f.playTrace);
    m_recordTrace->setChecked(f.recordTrace);
    paintSwatch(m_back, f.backColor, look::storedColor(f.backColor, palette()));
    paintSwatch(m_trace, f.traceColor, look::storedColor(f.traceColor, palette()));
    m_extPlayer->setChecked(f.extPlayer);
    m_player->setText(f.player);
    m_player->setEnabled(f.extPlayer);
    m_playerBrowse->setEnabled(f.extPlayer);
    m_autoRecord->setChecked(f.autoRecord);
    m_autoRecord->setEnabled(f.voiceFeatures);
    m_silence->setChecked(f.silence);
    m_discTime->setValue(f.discTime);
    m_periodic->setChecked(f.periodic);
    m_cadence->setChecked(f.cadence);
    m_answering->setChecked(f.answeringMachine);
    m_rings->setValue(f.amRings);
    // Index 0 without an id is no choice yet: Ok must not make it the first language of the list.
    const int byId = f.ttsVoiceId.isEmpty() ? -1 : m_voice->findData(f.ttsVoiceId);
    const bool engineDefault = f.ttsVoiceId.isEmpty() && f.ttsVoice == 0;
    m_voice->setCurrentIndex(byId >= 0 ? byId : engineDefault ? -1 : std::clamp(f.ttsVoice, 0, std::max(0, m_voice->count() - 1)));
    m_maxMsg->setChecked(f.maxMsgEnable);
    m_msgTime->setValue(f.msgTime);
    m_hangup->setText(f.hangupSeq);
    m_remote->setText(f.remoteCode);
    m_weakCode->setVisible(f.weakRemoteCode());
    m_beep->setChecked(f.beep);
    m_wavDir->setText(f.wavDir);
    answeringToggled(f.answeringMachine);
    applyHints(f.showHints);
}

void SettingsDialog::collect()
{
    SettingsForm& f = m_form;
    f.startUp = m_startUp->isChecked();
    f.supportAddress = m_supportAddress->text();
    f.smtpServer = m_smtpServer->text();
    f.smtpPort = m_smtpPort->value();
    f.smtpAccount = m_smtpAccount->text();
    f.callerId = m_callerId->isChecked();
    f.showHints = m_showHints->isChecked();
    f.notifications = m_notifications->isChecked();
    f.popupWithNotification = m_popupToo->isChecked();
    f.baudrate = m_baud->currentData().toInt();
    f.flowControl = m_flow->currentIndex();
    f.timeout = m_timeout->value();
    f.playGain = m_playGain->value();
    f.recordGain = m_recordGain->value();
    f.points = m_points->currentIndex();
    f.playTrace = m_playTrace->isChecked();
    f.recordTrace = m_recordTrace->isChecked();
    f.backColor = m_back->property("stored").toInt();
    f.traceColor = m_trace->property("stored").toInt();
    f.extPlayer = m_extPlayer->isChecked();
    f.player = m_player->text().trimmed();
    f.autoRecord = m_autoRecord->isChecked();
    f.silence = m_silence->isChecked();
    f.discTime = m_discTime->value();
    f.periodic = m_periodic->isChecked();
    f.cadence = m_cadence->isChecked();
    f.answeringMachine = m_answering->isChecked();
    f.amRings = m_rings->value();
    f.ttsVoice = std::max(0, m_voice->currentIndex());
    if (m_voice->currentIndex() >= 0)
        f.ttsVoiceId = m_voice->currentData().toString();
    f.maxMsgEnable = m_maxMsg->isChecked();
    f.msgTime = m_msgTime->value();
    f.hangupSeq = m_hangup->text().trimmed();
    f.remoteCode = m_remote->text().trimmed();
    f.beep = m_beep->isChecked();
    f.wavDir = m_wavDir->text();
}

void SettingsDialog::answeringToggled(bool on)
{
    // Disabled, they keep and save their values.
    for (QWidget* w : std::initializer_list<QWidget*>{m_rings, m_beep, m_voice, m_maxMsg, m_msgTime, m_hangup, m_remote})
        w->setEnabled(on);
    m_greetings->setEnabled(on && !m_links.dataFolder.isEmpty());
    m_schedule->setEnabled(on && m_links.current);
}

void SettingsDialog::applyHints(bool on)
{
    for (auto& [widget, hint] : m_hints)
        widget->setToolTip(on ? hint : QString());
}

bool SettingsDialog::confirm(QString* error)
{
    collect();
    if (!m_web->save(error))
        return false;
    m_ini.beginUpdate(); // the form's keys and the tab's in one write
    m_notifyTab->write(m_ini);
    if (!m_form.save(m_ini, error)) {
        m_ini.cancelUpdate();
        return false;
    }
    if (!m_ini.commitUpdate()) {
        *error = m_ini.lastError();
        return false;
    }
    Autostart entry;
    QString why;
    const bool done = m_form.startUp ? entry.add(QCoreApplication::applicationFilePath(), &why) : entry.remove(&why);
    if (!done) {
        settings::writeBool(m_ini, keys::StartUp, false); // what is stored says what is true
        m_form.startUp = false;
        if (error)
            *error = why;
        return false;
    }
    return true;
}

void SettingsDialog::accept()
{
    QString error;
    if (!confirm(&error)) {
        // Shown once; the dialog stays open with what was typed.
        QMessageBox::warning(this, windowTitle(), QStringLiteral("The settings could not be saved: ") + error);
        return;
    }
    QDialog::accept();
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // After the dialog is up, as the slider it concerns is.
    if (m_links.reportError && !m_form.unreadableGains.empty())
        QTimer::singleShot(0, this, [this] {
            for (const SettingsForm::Unreadable& gain : std::exchange(m_form.unreadableGains, {}))
                m_links.reportError(gain.message, gain.line);
        });
}

void SettingsDialog::setLinks(Links links)
{
    m_links = std::move(links);
    m_findModems->setEnabled(bool(m_links.findModems));
    answeringToggled(m_answering->isChecked());
}

void SettingsDialog::chooseFontColor()
{
    const QColor c = QColorDialog::getColor(look::fontColor(m_form.fontColor, palette()), this);
    if (!c.isValid())
        return;
    m_form.fontColor = look::storedValue(c);
    m_form.fontChosen = true; // written by Ok, with the font
    paintSwatch(m_fontColor, m_form.fontColor, c);
}

void SettingsDialog::findModems()
{
    collect(); // what was typed elsewhere stays
    m_ini.eraseSection(sections::ModemInitString);
    setEnabled(false);
    m_links.findModems();
    setEnabled(true);
    const SettingsForm found = SettingsForm::load(m_ini);
    SettingsForm& f = m_form;
    f.modemDefined = found.modemDefined;
    f.voiceFeatures = found.voiceFeatures;
    f.model = found.model;
    f.port = found.port;
    f.baudrate = found.baudrate;
    f.flowControl = found.flowControl;
    f.timeout = found.timeout;
    f.playGain = found.playGain;
    f.recordGain = found.recordGain;
    f.playMin = found.playMin;
    f.playMax = found.playMax;
    f.recordMin = found.recordMin;
    f.recordMax = found.recordMax;
    f.callerIdAvailable = found.callerIdAvailable;
    f.callerId = f.callerId && f.callerIdAvailable;
    showForm(f);
}

PreviewVoice SettingsDialog::previewVoice() const
{
    return {std::max(0, m_voice->currentIndex()), m_voice->currentData().toString(),
            settings::readInteger(m_ini, keys::TTSvolume)};
}

void SettingsDialog::openGreetings()
{
    if (!m_links.greetings) { // the call handling could not open it at start
        QMessageBox::warning(this, windowTitle(), GreetingTable::OpenErrorText);
        return;
    }
    try {
        GreetingMessagesDialog dialog(*m_links.greetings, m_links.dataFolder, previewVoice(), this);
        dialog.exec();
    } catch (const TableError& e) {
        QMessageBox::warning(this, windowTitle(), e.message());
    }
}

void SettingsDialog::openSchedule()
{
    ScheduleDialog dialog(m_ini, *m_links.current, m_links.dataFolder, previewVoice(), this);
    dialog.exec();
}
