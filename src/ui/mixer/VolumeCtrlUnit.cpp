#include "ui/mixer/VolumeCtrlUnit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <array>

#include "sound/PulseMixer.h"

using namespace cwt::mixer;

namespace cwt {

VolumeBalance ReadVolumeBalance(int32_t left, int32_t right, int32_t half) {
    const int32_t volume = std::max(left, right);
    if (volume == 0) return {0, 0};
    // C++ division truncates toward zero.
    const int64_t balance = int64_t{half} * (int64_t{right} - left) / volume;
    return {volume, static_cast<int32_t>(balance)};
}

LeftRight WriteVolumeBalance(int32_t volume, int32_t balance, int32_t half) {
    if (half == 0) return {volume, volume};
    if (balance < 0)
        return {volume, static_cast<int32_t>(int64_t{volume} * (balance + half) / half)};
    return {static_cast<int32_t>(int64_t{volume} * (half - balance) / half), volume};
}

}  // namespace cwt

namespace {

// The slots of the controls the dialog uses; 0, 3, 6 and 7 are never found.
constexpr int kMasterVolume = 1;
constexpr int kWaveVolume = 2;
constexpr int kMasterMute = 4;
constexpr int kWaveMute = 5;
constexpr int kSlotCount = 8;

const QString kRule = QStringLiteral("======================================");

QString Hex(uint32_t value) { return QStringLiteral("0x") + QString::number(value, 16); }

// The message for a control that could not be found: the mixer's own "no such line" and "no
// such control" differ from the errors of the connection.
QString LineControlErrorText(int error) {
    const QString text = error == kInvalidLine || error == kInvalidControl
                             ? QStringLiteral("error code id %1 [ mixerGetLineControls ]")
                             : QStringLiteral("raise error code id %1 [ mixerGetLineControls ]");
    return text.arg(error);
}

}  // namespace

// What the dialog knows of the open mixer.
struct TVolumeForm::MixerState {
    struct Slot {
        MixerControl control;
        bool found = false;
        uint32_t channels = 0;  // of the line the control is on
        int32_t left = 0;
        int32_t right = 0;
    };

    bool open = false;
    MixerCaps caps;
    bool hasSpeakers = false;
    uint32_t speakersDestination = 0;
    MixerLine speakersLine;
    bool hasWave = false;
    MixerLine waveLine;
    std::array<Slot, kSlotCount> controlSlots;
};

TVolumeForm::TVolumeForm(QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_mixer(std::make_unique<PulseMixer>()),
      m_state(std::make_unique<MixerState>()) {
    buildLayout();
    NameControlsForScreenReaders();
    OrderControlsForKeyboard();
    m_tell = [this](const QString& text, bool error) {
        auto* box = new QMessageBox(error ? QMessageBox::Critical : QMessageBox::Information,
                                    QString(), text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::ApplicationModal);
        box->show();  // modal for the operator, but the caller goes on
    };
    connect(m_mixer.get(), &PulseMixer::controlChanged, this,
            [this](uint32_t controlId) { MixerControlChange(controlId); });
    connect(m_mixer.get(), &PulseMixer::lineChanged, this,
            [this](uint32_t lineId) { MixerLineChange(lineId); });
    connect(m_mixer.get(), &PulseMixer::connectionLost, this, [this](const QString& reason) {
        logLine(QStringLiteral("Sound server connection lost: ") + reason);
    });
    connect(MixerNames, &QComboBox::activated, this, [this] { MixerNamesChange(MixerNames); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    attachHandlers();
    FormCreate(this);
}

TVolumeForm::~TVolumeForm() = default;

void TVolumeForm::buildLayout() {
    setObjectName(QStringLiteral("VolumeForm"));
    setWindowTitle(QStringLiteral("Volume Control"));
    QFont formFont(QStringLiteral("바탕"));
    formFont.setPixelSize(13);
    setFont(formFont);
    move(kLeft, kTop);
    resize(kWidth, kHeight);

    auto name = [](QWidget* widget, const char* objectName) {
        widget->setObjectName(QLatin1String(objectName));
    };
    Label2 = new QLabel(QStringLiteral("Mixers"), this);
    name(Label2, "Label2");
    Label2->move(200, 16);
    MixerNames = new QComboBox(this);
    name(MixerNames, "MixerNames");
    MixerNames->setGeometry(248, 16, 249, MixerNames->sizeHint().height());

    GroupBox1 = new QGroupBox(QStringLiteral("마스타 볼륨"), this);
    name(GroupBox1, "GroupBox1");
    GroupBox1->setGeometry(8, 8, 113, 217);
    Label1 = new QLabel(QStringLiteral("L        R"), GroupBox1);
    name(Label1, "Label1");
    Label1->move(20, 16);

    // Vertical bars keep their minimum at the top and show a value v at max - v, so louder
    // is higher; the keys and the wheel move them the way they look.
    auto verticalBar = [this](QWidget* parent, const char* objectName, QRect geometry) {
        auto* bar = new QSlider(Qt::Vertical, parent);
        bar->setObjectName(QLatin1String(objectName));
        bar->setGeometry(geometry);
        bar->setRange(0, 65535);
        bar->setTickInterval(8192);
        bar->setTickPosition(QSlider::TicksRight);
        bar->setInvertedAppearance(true);
        bar->setInvertedControls(true);
        bar->setPageStep(8192);
        return bar;
    };
    tbLeftVolume = verticalBar(GroupBox1, "tbLeftVolume", {16, 32, 25, 126});
    tbRightVolume = verticalBar(GroupBox1, "tbRightVolume", {48, 32, 25, 126});
    tbVolume = verticalBar(GroupBox1, "tbVolume", {80, 32, 25, 126});
    tbPan = new QSlider(Qt::Horizontal, GroupBox1);
    name(tbPan, "tbPan");
    tbPan->setGeometry(8, 160, 73, 33);
    tbPan->setRange(-50, 50);
    tbPan->setTickInterval(10);
    tbPan->setTickPosition(QSlider::TicksBelow);
    tbPan->setPageStep(10);
    tbPan->setValue(0);
    AudioCheck = new QCheckBox(QStringLiteral("음소거"), GroupBox1);
    name(AudioCheck, "AudioCheck");
    AudioCheck->move(16, 192);
    AudioCheck->setToolTip(QStringLiteral("마스타 음소거"));

    tbWaveVolume = verticalBar(this, "tbWaveVolume", {136, 40, 33, 126});
    tbWaveVolume->setToolTip(QStringLiteral("웨이브 볼륨"));
    WaveCheck = new QCheckBox(QStringLiteral("음소거"), this);
    name(WaveCheck, "WaveCheck");
    WaveCheck->move(128, 168);
    WaveCheck->setToolTip(QStringLiteral("웨이브 음소거"));

    Memo1 = new QPlainTextEdit(this);
    name(Memo1, "Memo1");
    Memo1->setGeometry(192, 40, 561, 289);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setPlainText(QStringLiteral("Memo1"));

    Button1 = new QPushButton(QStringLiteral("Button1"), this);
    name(Button1, "Button1");
    Button1->setGeometry(192, 336, 75, 25);

    std::array<QLineEdit**, 4> edits = {&Edit1, &Edit2, &Edit3, &Edit4};
    for (int i = 0; i < 4; ++i) {
        const QString text = QStringLiteral("Edit%1").arg(i + 1);
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(text);
        edit->setGeometry(56, 272 + 24 * i, 121, 21);
        *edits[i] = edit;
    }
}

// The change handlers of the five track bars and the two check boxes. A vertical bar's or a
// check box's signal fires for changes made in code too, so code that moves them to show a
// value detaches the handlers first.
void TVolumeForm::attachHandlers() {
    if (!m_handlers.empty()) return;
    auto onValue = [this](QSlider* bar, void (TVolumeForm::*handler)(QObject*)) {
        m_handlers.push_back(connect(bar, &QSlider::valueChanged, this,
                                     [this, bar, handler] { (this->*handler)(bar); }));
    };
    onValue(tbLeftVolume, &TVolumeForm::tbLeftVolumeChange);
    onValue(tbRightVolume, &TVolumeForm::tbRightVolumeChange);
    onValue(tbVolume, &TVolumeForm::tbVolumeChange);
    onValue(tbPan, &TVolumeForm::tbPanChange);
    onValue(tbWaveVolume, &TVolumeForm::tbWaveVolumeChange);
    m_handlers.push_back(
        connect(AudioCheck, &QCheckBox::toggled, this, [this] { AudioCheckClick(AudioCheck); }));
    m_handlers.push_back(
        connect(WaveCheck, &QCheckBox::toggled, this, [this] { WaveCheckClick(WaveCheck); }));
}

void TVolumeForm::detachHandlers() {
    for (const QMetaObject::Connection& handler : m_handlers) disconnect(handler);
    m_handlers.clear();
}

void TVolumeForm::bringToFront() {
    show();
    raise();
    activateWindow();
}

void TVolumeForm::setMessageSink(MessageSink sink) { m_tell = std::move(sink); }

void TVolumeForm::tell(const QString& text, bool error) {
    if (m_tell) m_tell(text, error);
}

void TVolumeForm::logLine(const QString& line) { Memo1->appendPlainText(line); }

bool TVolumeForm::slotFound(int slot) const { return m_state->controlSlots.at(slot).found; }
int32_t TVolumeForm::slotLeft(int slot) const { return m_state->controlSlots.at(slot).left; }
int32_t TVolumeForm::slotRight(int slot) const { return m_state->controlSlots.at(slot).right; }

int32_t TVolumeForm::panHalf() const { return (tbPan->maximum() - tbPan->minimum()) / 2; }

void TVolumeForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow(this);
}

void TVolumeForm::closeEvent(QCloseEvent* event) {
    FormClose(this);
    QWidget::closeEvent(event);
}

// ----- Create, show, close -----

void TVolumeForm::FormCreate(QObject*) {
    listMixers();
    MixerNames->setCurrentIndex(MixerNames->count() > 0 ? 0 : -1);
}

// One entry per sink. The log shows each sink as the record of a mixer's capabilities.
void TVolumeForm::listMixers() {
    for (const MixerCaps& caps : m_mixer->listMixers()) {
        MixerNames->addItem(caps.name.isEmpty() ? caps.id : caps.name, caps.id);
        MixerNames->setItemData(MixerNames->count() - 1, caps.id, Qt::ToolTipRole);
        logLine(QStringLiteral("fMixerCaps.cDestinations: %1").arg(caps.destinations));
        logLine(QStringLiteral("fMixerCaps.szPname: %1").arg(caps.name));
    }
}

void TVolumeForm::FormShow(QObject*) {
    // A server that was not there at start-up, or that came back, is listed now.
    if (MixerNames->count() == 0) FormCreate(this);
    if (!OpenMixer()) return;  // no speakers line: the controls keep their state
    detachHandlers();
    showSlots();
    attachHandlers();
}

void TVolumeForm::FormClose(QObject*) {
    m_mixer->close();
    m_state->open = false;
}

void TVolumeForm::MixerNamesChange(QObject*) { OpenMixer(); }

// The show step's part after the mixer is open. Controls of a slot that was not found are
// disabled, and enabled again when a later show finds it.
void TVolumeForm::showSlots() {
    const MixerState::Slot& master = m_state->controlSlots[kMasterVolume];
    for (QSlider* bar : {tbLeftVolume, tbRightVolume, tbVolume, tbPan})
        bar->setEnabled(master.found);
    if (master.found) {
        const int32_t max = master.control.maximum;
        for (QSlider* bar : {tbLeftVolume, tbRightVolume, tbVolume})
            bar->setRange(master.control.minimum, max);
        const cwt::VolumeBalance reading =
            cwt::ReadVolumeBalance(master.left, master.right, panHalf());
        tbLeftVolume->setValue(max - master.left);
        tbRightVolume->setValue(max - master.right);
        tbPan->setValue(reading.balance);
        tbVolume->setValue(max - reading.volume);
    }
    const MixerState::Slot& masterMute = m_state->controlSlots[kMasterMute];
    AudioCheck->setEnabled(masterMute.found);
    if (masterMute.found) AudioCheck->setChecked(masterMute.left != masterMute.control.minimum);

    const MixerState::Slot& wave = m_state->controlSlots[kWaveVolume];
    tbWaveVolume->setEnabled(wave.found);
    if (wave.found) {
        tbWaveVolume->setRange(wave.control.minimum, wave.control.maximum);
        tbWaveVolume->setValue(wave.control.maximum - std::max(wave.left, wave.right));
    }
    const MixerState::Slot& waveMute = m_state->controlSlots[kWaveMute];
    WaveCheck->setEnabled(waveMute.found);
    if (waveMute.found) WaveCheck->setChecked(waveMute.left != waveMute.control.minimum);
}

// ----- Opening a mixer -----

// Opens the chosen sink and finds its lines and controls, with a fresh log and fresh slots.
// False when the sink has no speakers line (it is gone): the show step stops there. A sink
// without a stream of ours has no wave line; that is reported too, but the master controls
// were found and the show step goes on with them.
bool TVolumeForm::OpenMixer() {
    MixerState& state = *m_state;
    if (state.open) m_mixer->close();
    state = MixerState{};
    Memo1->clear();

    if (MixerNames->currentIndex() >= 0 && m_mixer->open(MixerNames->currentData().toString()))
        state.open = true;
    else if (MixerNames->currentIndex() >= 0)
        logLine(QStringLiteral("Can't open the sound server: ") + m_mixer->lastError());
    if (state.open) state.caps = m_mixer->caps();
    if (state.caps.name.isEmpty()) state.caps.name = MixerNames->currentText();
    logCaps(true);

    if (!scanDestinations()) {
        tell(QStringLiteral("Can't find audio output mixer line for ") + state.caps.name, true);
        return false;
    }
    ReadControlValues(kMasterVolume);
    ReadControlValues(kMasterMute);

    scanSources();
    if (!state.hasWave) {
        tell(QStringLiteral("Can't find audio output wave line for ") + state.caps.name, true);
        return true;
    }
    ReadControlValues(kWaveVolume);
    ReadControlValues(kWaveMute);
    return true;
}

void TVolumeForm::logCaps(bool withSupport) {
    const MixerCaps& caps = m_state->caps;
    logLine(QStringLiteral("fMixerCaps.cDestinations: %1").arg(caps.destinations));
    logLine(QStringLiteral("fMixerCaps.szPname: %1").arg(caps.name));
    if (withSupport) logLine(QStringLiteral("fMixerCaps.fdwSupport: %1").arg(caps.support));
}

// Logs every destination line; the last speakers line found is the master line.
bool TVolumeForm::scanDestinations() {
    MixerState& state = *m_state;
    for (uint32_t d = 0; d < state.caps.destinations; ++d) {
        const std::optional<MixerLine> line = m_mixer->destinationLine(d);
        if (!line) continue;
        logLine(kRule);
        logLine(QStringLiteral("dwDestination: %1").arg(d));
        logLine(QStringLiteral("fAudioLine.dwSource: ") + Hex(line->source));
        logLine(QStringLiteral("fAudioLine.dwLineID: %1").arg(line->lineId));
        logLine(QStringLiteral("fAudioLine.fdwLine: ") + Hex(line->flags));
        logLine(QStringLiteral("fAudioLine.dwUser: ") + Hex(line->user));
        logLine(QStringLiteral("fAudioLine.cChannels: %1").arg(line->channels));
        logLine(QStringLiteral("fAudioLine.cControls: ") + Hex(line->controls));
        logLine(QStringLiteral("fAudioLine.szShortName: ") + line->shortName);
        logLine(QStringLiteral("fAudioLine.szName: ") + line->name);
        logLine(QStringLiteral("fAudioLine.dwType: ") + Hex(line->targetType));
        logLine(QStringLiteral("fAudioLine.Target.dwDeviceID: ") + Hex(line->targetDeviceId));
        logLine(QStringLiteral("fAudioLine.Target.szPname: ") + line->targetName);
        if (const char* typeName = ComponentTypeName(line->componentType))
            logLine(QStringLiteral("fAudioLine.dwComponentType: ") + QLatin1String(typeName));
        if (line->componentType == kDstSpeakers) {
            logLine(QStringLiteral("find is audioID: %1").arg(d));
            state.hasSpeakers = true;
            state.speakersDestination = d;
            state.speakersLine = *line;
            state.controlSlots[kMasterVolume].channels = line->channels;
            state.controlSlots[kMasterMute].channels = line->channels;
            FindLineControl(line->lineId, kControlVolume, kMasterVolume);
            FindLineControl(line->lineId, kControlMute, kMasterMute);
        }
        logLine(kRule);
    }
    return state.hasSpeakers;
}

// Finds the wave-output source (our own stream) among the master line's sources.
void TVolumeForm::scanSources() {
    MixerState& state = *m_state;
    for (uint32_t s = 0; s < state.speakersLine.connections; ++s) {
        const std::optional<MixerLine> line = m_mixer->sourceLine(state.speakersDestination, s);
        if (!line || line->componentType != kSrcWaveOut) continue;
        state.hasWave = true;
        state.waveLine = *line;
        state.controlSlots[kWaveVolume].channels = line->channels;
        state.controlSlots[kWaveMute].channels = line->channels;
        FindLineControl(line->lineId, kControlVolume, kWaveVolume);
        logLine(QStringLiteral("WaveVolumeControlID: %1")
                    .arg(state.controlSlots[kWaveVolume].control.controlId));
        FindLineControl(line->lineId, kControlMute, kWaveMute);
        logLine(QStringLiteral("WaveMuteControlID: %1")
                    .arg(state.controlSlots[kWaveMute].control.controlId));
        return;
    }
}

// ----- Controls and their values -----

bool TVolumeForm::FindLineControl(uint32_t lineId, uint32_t controlType, int slot) {
    MixerState::Slot& target = m_state->controlSlots[slot];
    const int error = m_mixer->lineControl(lineId, controlType, target.control);
    target.found = error == kNoError;
    if (target.found) return true;
    target.control = {};
    tell(LineControlErrorText(error), false);
    return false;
}

// A uniform control is read and written with one channel; its right value is its left.
void TVolumeForm::ReadControlValues(int slot) {
    MixerState::Slot& target = m_state->controlSlots[slot];
    if (!target.found) {
        target.left = target.right = 0;
        return;
    }
    const uint32_t channels = (target.control.flags & kControlUniform) ? 1 : target.channels;
    int32_t left = 0;
    int32_t right = 0;
    if (!m_mixer->getControlDetails(target.control.controlId, channels, left, right)) {
        tell(QStringLiteral("mixerGetControlDetails"), false);
        return;
    }
    target.left = left;
    target.right = channels == 1 ? left : right;
}

// The result is ignored: a write the server refuses shows in the next change notice.
void TVolumeForm::WriteControlValues(int slot) {
    const MixerState::Slot& target = m_state->controlSlots[slot];
    if (!target.found) return;
    const uint32_t channels = (target.control.flags & kControlUniform) ? 1 : target.channels;
    m_mixer->setControlDetails(target.control.controlId, channels, target.left, target.right);
}

void TVolumeForm::SetChannelValue(int slot, int channel, int32_t value) {
    MixerState::Slot& target = m_state->controlSlots[slot];
    int32_t& stored = channel == 0 ? target.left : target.right;
    if (stored == value) return;
    stored = value;
    WriteControlValues(slot);
}

void TVolumeForm::SetControlValues(int slot, int32_t left, int32_t right) {
    MixerState::Slot& target = m_state->controlSlots[slot];
    target.left = left;
    target.right = right;
    WriteControlValues(slot);
}

// Moves the controls of a slot to its values without writing them back.
void TVolumeForm::ShowControlValues(int slot) {
    const MixerState::Slot& source = m_state->controlSlots[slot];
    const int32_t max = source.control.maximum;
    if (slot == kMasterVolume) {
        const QSignalBlocker left(tbLeftVolume), right(tbRightVolume), volume(tbVolume), pan(tbPan);
        const cwt::VolumeBalance reading =
            cwt::ReadVolumeBalance(source.left, source.right, panHalf());
        if (reading.volume != 0) tbPan->setValue(reading.balance);  // silence has no balance
        tbLeftVolume->setValue(max - source.left);
        tbRightVolume->setValue(max - source.right);
        tbVolume->setValue(max - reading.volume);
    } else if (slot == kWaveVolume) {
        const QSignalBlocker wave(tbWaveVolume);
        tbWaveVolume->setValue(max - std::max(source.left, source.right));
    } else if (slot == kMasterMute || slot == kWaveMute) {
        QCheckBox* box = slot == kMasterMute ? AudioCheck : WaveCheck;
        const QSignalBlocker blocker(box);
        box->setChecked(source.left != source.control.minimum);
    }
}

// ----- Change handlers -----

void TVolumeForm::tbLeftVolumeChange(QObject*) {
    const int32_t max = m_state->controlSlots[kMasterVolume].control.maximum;
    SetChannelValue(kMasterVolume, 0, max - tbLeftVolume->value());
}

void TVolumeForm::tbRightVolumeChange(QObject*) {
    const int32_t max = m_state->controlSlots[kMasterVolume].control.maximum;
    SetChannelValue(kMasterVolume, 1, max - tbRightVolume->value());
}

void TVolumeForm::tbVolumeChange(QObject*) {
    const int32_t max = m_state->controlSlots[kMasterVolume].control.maximum;
    const cwt::LeftRight values =
        cwt::WriteVolumeBalance(max - tbVolume->value(), tbPan->value(), panHalf());
    SetControlValues(kMasterVolume, values.left, values.right);
}

void TVolumeForm::tbPanChange(QObject* Sender) { tbVolumeChange(Sender); }

void TVolumeForm::tbWaveVolumeChange(QObject*) {
    const int32_t value =
        m_state->controlSlots[kWaveVolume].control.maximum - tbWaveVolume->value();
    SetControlValues(kWaveVolume, value, value);
}

void TVolumeForm::AudioCheckClick(QObject*) {
    const QSignalBlocker detached(AudioCheck);
    const MixerControl& control = m_state->controlSlots[kMasterMute].control;
    SetChannelValue(kMasterMute, 0, AudioCheck->isChecked() ? control.maximum : control.minimum);
}

void TVolumeForm::WaveCheckClick(QObject*) {
    const QSignalBlocker detached(WaveCheck);
    const MixerControl& control = m_state->controlSlots[kWaveMute].control;
    SetChannelValue(kWaveMute, 0, WaveCheck->isChecked() ? control.maximum : control.minimum);
}

// ----- Notices -----

// Only found slots are matched: a slot that was not found has an empty record, whose
// control ID 0 is also the ID of the first sink's volume.
void TVolumeForm::MixerControlChange(uint32_t controlId) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const MixerState::Slot& candidate = m_state->controlSlots[slot];
        if (!candidate.found || candidate.control.controlId != controlId) continue;
        ReadControlValues(slot);
        ShowControlValues(slot);
        return;
    }
    logLine(QStringLiteral("unsingned is %1").arg(controlId));
}

void TVolumeForm::MixerLineChange(uint32_t lineId) {
    logLine(QStringLiteral("MM_MIXM_LINE_CHANGE: %1").arg(lineId));
}

void TVolumeForm::MomPositionCb(qintptr param) {
    logLine(QStringLiteral("MM_MOM_POSITIONCB: %1").arg(param));
}

void TVolumeForm::MciSignal(qintptr param) {
    logLine(QStringLiteral("MM_MCI_SIGNAL: %1").arg(param));
}

void TVolumeForm::MimMoreData(qintptr param) {
    logLine(QStringLiteral("MM_MIM_MOREDATA: %1").arg(param));
}

// ----- Dump -----

// Logs the master line's volume and mute controls; the edits keep the bounds of the last.
// Without a speakers line the last line read (or an empty record) is dumped, and asking for
// its controls tells the operator what went wrong.
void TVolumeForm::Button1Click(QObject*) {
    MixerLine line;
    for (uint32_t d = 0; d < m_state->caps.destinations; ++d) {
        if (std::optional<MixerLine> read = m_mixer->destinationLine(d)) line = *read;
        if (line.componentType == kDstSpeakers) break;
    }
    LogControlInfo(line.lineId, kControlVolume);
    LogControlInfo(line.lineId, kControlMute);
}

void TVolumeForm::LogControlInfo(uint32_t lineId, uint32_t controlType) {
    MixerControl control;
    const int error = m_mixer->lineControl(lineId, controlType, control);
    if (error != kNoError) {
        tell(LineControlErrorText(error), false);
        return;
    }
    if (const char* typeName = ControlTypeName(control.controlType))
        logLine(QStringLiteral("MixerControl.dwControlType: ") + QLatin1String(typeName));
    else
        logLine(
            QStringLiteral("unsingned MixerControl.dwControlType: %1").arg(control.controlType));
    logLine(QStringLiteral("MixerControl.cMultipleItems: %1").arg(control.multipleItems));
    logLine(QStringLiteral("MixerControl.dwControlID: %1").arg(control.controlId));
    logLine(QStringLiteral("MixerControl.fdwControl: %1").arg(control.flags));
    Edit1->setText(QString::number(control.minimum));
    Edit2->setText(QString::number(control.maximum));
    Edit3->setText(QString::number(static_cast<uint32_t>(control.minimum)));
    Edit4->setText(QString::number(static_cast<uint32_t>(control.maximum)));
}
