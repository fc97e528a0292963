// The mixer dialog against the real sound server with its null sink "cwnull": what the dialog
// shows comes from the server, what it writes arrives there (read back with pactl), and what
// pactl changes comes back through the server's notices.

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "sound/PulseClient.h"
#include "sound/PulseMixerVolume.h"
#include "ui/mixer/VolumeCtrlUnit.h"

namespace {

const QString kSink = QStringLiteral("cwnull");
constexpr int kMax = 65535;

QByteArray Pactl(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    process.waitForFinished(5000);
    return process.readAllStandardOutput();
}

QJsonObject SinkJson() {
    const QJsonArray sinks =
        QJsonDocument::fromJson(Pactl({"-f", "json", "list", "sinks"})).array();
    for (const QJsonValue& sink : sinks)
        if (sink[QStringLiteral("name")].toString() == kSink) return sink.toObject();
    return {};
}

QJsonObject StreamJson(uint32_t index) {
    const QJsonArray streams =
        QJsonDocument::fromJson(Pactl({"-f", "json", "list", "sink-inputs"})).array();
    for (const QJsonValue& stream : streams)
        if (stream[QStringLiteral("index")].toInteger() == index) return stream.toObject();
    return {};
}

qint64 ChannelValue(const QJsonObject& object, const char* channel) {
    return object[QStringLiteral("volume")][QLatin1String(channel)][QStringLiteral("value")]
        .toInteger(-1);
}

qint64 SinkLeft() { return ChannelValue(SinkJson(), "front-left"); }
qint64 SinkRight() { return ChannelValue(SinkJson(), "front-right"); }
bool SinkMuted() { return SinkJson()[QStringLiteral("mute")].toBool(); }

void SetSinkVolume(qint64 left, qint64 right) {
    Pactl({"set-sink-volume", kSink, QString::number(left), QString::number(right)});
}

// A playback stream of this process, the way the program's own sound output looks to the
// server: mono at 11025 Hz, the 8-bit samples widened to signed 16 bit. Corked, so it plays
// nothing.
class OwnStream {
public:
    OwnStream() : m_client("CW Tamarik") {
        cwt::PulseClient::Lock lock(m_client);
        if (!m_client.waitReady(5000)) return;
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16NE, 11025, 1};
        m_stream = pa_stream_new(m_client.context(), "CW Tamarik", &sampleFormat, nullptr);
        pa_stream_set_state_callback(m_stream, &OwnStream::StreamChanged, &m_client);
        pa_stream_connect_playback(m_stream, "cwnull", nullptr, PA_STREAM_START_CORKED, nullptr,
                                   nullptr);
        const auto settled = [this] {
            const pa_stream_state_t state = pa_stream_get_state(m_stream);
            return !PA_STREAM_IS_GOOD(state) || state == PA_STREAM_READY;
        };
        if (m_client.waitFor(settled, 5000) && pa_stream_get_state(m_stream) == PA_STREAM_READY)
            m_index = pa_stream_get_index(m_stream);
    }
    ~OwnStream() {
        cwt::PulseClient::Lock lock(m_client);
        if (!m_stream) return;
        if (m_index != PA_INVALID_INDEX) restoreFullVolume();
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    uint32_t index() const { return m_index; }

private:
    // A session manager (WirePlumber) gives the program's next streams the volume this one had
    // last: leave it at full volume and unmuted, or the sends of later tests go unheard.
    void restoreFullVolume() {
        pa_cvolume full;
        pa_cvolume_set(&full, 1, PA_VOLUME_NORM);
        pa_operation* volume = pa_context_set_sink_input_volume(m_client.context(), m_index, &full,
                                                                &OwnStream::Done, &m_client);
        pa_operation* mute = pa_context_set_sink_input_mute(m_client.context(), m_index, 0,
                                                            &OwnStream::Done, &m_client);
        const auto done = [&] {
            return (!volume || pa_operation_get_state(volume) != PA_OPERATION_RUNNING) &&
                   (!mute || pa_operation_get_state(mute) != PA_OPERATION_RUNNING);
        };
        m_client.waitFor(done, 5000);
        if (volume) pa_operation_unref(volume);
        if (mute) pa_operation_unref(mute);
    }
    // libpulse thread.
    static void Done(pa_context*, int, void* client) {
        static_cast<cwt::PulseClient*>(client)->signal();
    }
    // libpulse thread.
    static void StreamChanged(pa_stream*, void* client) {
        static_cast<cwt::PulseClient*>(client)->signal();
    }
    cwt::PulseClient m_client;
    pa_stream* m_stream = nullptr;
    uint32_t m_index = PA_INVALID_INDEX;
};

struct Told {
    QString text;
    bool error = false;
};

}  // namespace

class TestVolumeForm : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TVolumeForm> m_form;
    QList<Told> m_told;

    // A fresh dialog, shown: it lists the sinks and opens the first (the only) one.
    void showFreshForm() {
        m_form = std::make_unique<TVolumeForm>();
        m_told.clear();
        m_form->setMessageSink([this](const QString& text, bool error) {
            m_told.append({text, error});
        });
        m_form->show();
    }
    // Closing and showing again opens the mixer afresh, as the operator would.
    void reopen() {
        m_told.clear();
        m_form->close();
        m_form->show();
    }
    QString log() const { return m_form->Memo1->toPlainText(); }
    // The dialog's own writes and the server's notices settle.
    static void settle() { QTest::qWait(300); }

private slots:
    void initTestCase() {
        QProcess info;
        info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
        const bool reachable = info.waitForFinished(5000) && info.exitCode() == 0;
        if (!reachable && qEnvironmentVariableIsSet("CWT_PULSE_REQUIRED"))
            QFAIL("no sound server answers (source scripts/pulse-null-sink.sh DIR)");
        if (!reachable) QSKIP("no sound server; source scripts/pulse-null-sink.sh DIR first");
    }

    void init() {
        SetSinkVolume(PA_VOLUME_NORM, PA_VOLUME_NORM);
        Pactl({"set-sink-mute", kSink, "0"});
    }

    void cleanup() { m_form.reset(); }

    void createListsTheSinks() {
        TVolumeForm form;
        const int entry = form.MixerNames->findData(kSink);
        QVERIFY(entry >= 0);
        QCOMPARE(form.MixerNames->itemText(entry), SinkJson()["description"].toString());
        QCOMPARE(form.MixerNames->currentIndex(), 0);
        QVERIFY(form.Memo1->toPlainText().contains(QStringLiteral("fMixerCaps.cDestinations: 1")));
        QVERIFY(form.Memo1->toPlainText().contains(QStringLiteral("fMixerCaps.szPname: ") +
                                                   SinkJson()["description"].toString()));
        QCOMPARE(form.windowTitle(), QStringLiteral("Volume Control"));
    }

    // Unequal channels show as volume and balance; the balance quotient truncates toward
    // zero (50 × -10000 / 30000 is -16, not -17), and showing writes nothing back: the
    // writing rule would have made the right channel 20400.
    void showReadsVolumeAndBalanceWithoutWritingBack() {
        SetSinkVolume(30000, 20000);
        showFreshForm();
        const int32_t left = cwt::MixerVolumeOf(30000);
        const int32_t right = cwt::MixerVolumeOf(20000);
        QVERIFY(m_form->slotFound(1));
        QCOMPARE(m_form->slotLeft(1), left);
        QCOMPARE(m_form->slotRight(1), right);
        QCOMPARE(m_form->tbLeftVolume->maximum(), kMax);
        QCOMPARE(m_form->tbLeftVolume->value(), kMax - left);
        QCOMPARE(m_form->tbRightVolume->value(), kMax - right);
        QCOMPARE(m_form->tbVolume->value(), kMax - left);
        QCOMPARE(m_form->tbPan->value(), -16);
        QVERIFY(m_form->tbVolume->isEnabled());
        QVERIFY(m_form->AudioCheck->isEnabled());
        QVERIFY(!m_form->AudioCheck->isChecked());
        settle();
        QCOMPARE(SinkLeft(), 30000);
        QCOMPARE(SinkRight(), 20000);

        QVERIFY(log().contains(QStringLiteral("find is audioID: 0")));
        QVERIFY(log().contains(
            QStringLiteral("fAudioLine.dwComponentType: MIXERLINE_COMPONENTTYPE_DST_SPEAKERS")));
        QVERIFY(log().contains(QStringLiteral("fAudioLine.cChannels: 2")));
        QVERIFY(log().contains(QStringLiteral("fAudioLine.szShortName: cwnull")));
    }

    // Without a stream of ours there is no wave line: the operator is told, the wave
    // controls are disabled, and the master controls still work.
    void noStreamOfOursReportsTheWaveLine() {
        showFreshForm();
        QCOMPARE(m_told.size(), 1);
        QCOMPARE(m_told[0].text, QStringLiteral("Can't find audio output wave line for ") +
                                     SinkJson()["description"].toString());
        QVERIFY(m_told[0].error);
        QVERIFY(!m_form->tbWaveVolume->isEnabled());
        QVERIFY(!m_form->WaveCheck->isEnabled());
        QVERIFY(m_form->tbVolume->isEnabled());
    }

    void volumeAndBalanceReachTheServer() {
        showFreshForm();
        m_form->tbVolume->setValue(kMax - 40000);
        const qint64 volume = cwt::PulseVolumeOf(40000);
        QTRY_COMPARE(SinkLeft(), volume);
        QCOMPARE(SinkRight(), volume);

        // The balance's ends silence one channel and keep the other at the volume.
        m_form->tbPan->setValue(-50);
        QTRY_COMPARE(SinkRight(), 0);
        QCOMPARE(SinkLeft(), volume);
        m_form->tbPan->setValue(50);
        QTRY_COMPARE(SinkLeft(), 0);
        QCOMPARE(SinkRight(), volume);

        // Half way to the right: the left channel keeps (50 - 25) / 50 of the volume.
        m_form->tbPan->setValue(25);
        QTRY_COMPARE(SinkLeft(), qint64{cwt::PulseVolumeOf(20000)});
        QCOMPARE(SinkRight(), volume);
    }

    void channelBarsWriteTheirChannelOnly() {
        showFreshForm();
        m_form->tbLeftVolume->setValue(kMax - 10000);
        QTRY_COMPARE(SinkLeft(), qint64{cwt::PulseVolumeOf(10000)});
        QCOMPARE(SinkRight(), qint64{PA_VOLUME_NORM});
        // The notice of that write moved the other master bars to match.
        QTRY_COMPARE(m_form->tbPan->value(), 50 * (kMax - 10000) / kMax);
        QCOMPARE(m_form->tbVolume->value(), 0);

        m_form->tbRightVolume->setValue(kMax - 5000);
        QTRY_COMPARE(SinkRight(), qint64{cwt::PulseVolumeOf(5000)});
        QCOMPARE(SinkLeft(), qint64{cwt::PulseVolumeOf(10000)});
    }

    // Another program's change arrives as a notice and moves the bars; the dialog writes
    // nothing back (its writing rule would change the right channel).
    void serverChangeMovesTheBars() {
        showFreshForm();
        SetSinkVolume(50000, 10000);
        const int32_t left = cwt::MixerVolumeOf(50000);
        const int32_t right = cwt::MixerVolumeOf(10000);
        QTRY_COMPARE(m_form->tbLeftVolume->value(), kMax - left);
        QCOMPARE(m_form->tbRightVolume->value(), kMax - right);
        QCOMPARE(m_form->tbVolume->value(), kMax - left);
        QCOMPARE(m_form->tbPan->value(), cwt::ReadVolumeBalance(left, right, 50).balance);
        settle();
        QCOMPARE(SinkLeft(), 50000);
        QCOMPARE(SinkRight(), 10000);
    }

    // Silence has no balance: a notice leaves the balance bar where it was, a show sets it
    // to the middle.
    void silenceKeepsTheBalanceUntilShown() {
        showFreshForm();
        m_form->tbPan->setValue(-20);
        QTRY_COMPARE(SinkRight(), qint64{cwt::PulseVolumeOf(kMax * 30 / 50)});
        SetSinkVolume(0, 0);
        QTRY_COMPARE(m_form->tbVolume->value(), kMax);
        QCOMPARE(m_form->tbPan->value(), -20);
        reopen();
        QCOMPARE(m_form->tbPan->value(), 0);
        QCOMPARE(m_form->tbVolume->value(), kMax);
    }

    void muteBothWays() {
        showFreshForm();
        m_form->AudioCheck->click();
        QTRY_VERIFY(SinkMuted());
        Pactl({"set-sink-mute", kSink, "0"});
        QTRY_VERIFY(!m_form->AudioCheck->isChecked());
        settle();
        QVERIFY(!SinkMuted());  // showing the notice wrote nothing back
        Pactl({"set-sink-mute", kSink, "1"});
        QTRY_VERIFY(m_form->AudioCheck->isChecked());
        m_form->AudioCheck->click();
        QTRY_VERIFY(!SinkMuted());
    }

    // Our own stream is the wave line; it is mono, so its controls are uniform and written
    // with one channel.
    void ownStreamIsTheWaveLine() {
        OwnStream stream;
        QVERIFY(stream.index() != PA_INVALID_INDEX);
        // A session manager (WirePlumber) gives a new stream the volume it remembers for the
        // program from an earlier run: start from full volume.
        Pactl({"set-sink-input-volume", QString::number(stream.index()), "65536"});
        QTRY_COMPARE(ChannelValue(StreamJson(stream.index()), "mono"), qint64{PA_VOLUME_NORM});
        showFreshForm();
        QVERIFY(m_told.isEmpty());
        QVERIFY(m_form->tbWaveVolume->isEnabled());
        QVERIFY(m_form->WaveCheck->isEnabled());
        QVERIFY(log().contains(
            QStringLiteral("WaveVolumeControlID: %1").arg((stream.index() | 0x40000000u) << 1)));
        QCOMPARE(m_form->tbWaveVolume->value(), 0);  // full volume

        m_form->tbWaveVolume->setValue(kMax - 30000);
        QTRY_COMPARE(ChannelValue(StreamJson(stream.index()), "mono"),
                     qint64{cwt::PulseVolumeOf(30000)});
        QCOMPARE(m_form->slotLeft(2), 30000);
        QCOMPARE(m_form->slotRight(2), 30000);

        m_form->WaveCheck->click();
        QTRY_VERIFY(StreamJson(stream.index())["mute"].toBool());

        Pactl({"set-sink-input-volume", QString::number(stream.index()), "20000"});
        QTRY_COMPARE(m_form->tbWaveVolume->value(), kMax - cwt::MixerVolumeOf(20000));
        Pactl({"set-sink-input-mute", QString::number(stream.index()), "0"});
        QTRY_VERIFY(!m_form->WaveCheck->isChecked());
        // The sink's own controls did not move.
        QCOMPARE(SinkLeft(), qint64{PA_VOLUME_NORM});
        QVERIFY(!SinkMuted());
    }

    // Another program's stream is not our wave line, and its notices match no slot.
    void foreignStreamIsNotTheWaveLine() {
        QProcess player;
        player.start(QStringLiteral("pacat"),
                     {"--playback", "-d", kSink, "--format=u8", "--channels=1", "/dev/zero"});
        QVERIFY(player.waitForStarted());
        qint64 foreign = -1;
        QTRY_VERIFY(
            (foreign = [] {
                const QJsonArray streams =
                    QJsonDocument::fromJson(Pactl({"-f", "json", "list", "sink-inputs"})).array();
                return streams.isEmpty() ? qint64{-1} : streams[0]["index"].toInteger();
            }()) >= 0);
        showFreshForm();
        QCOMPARE(m_told.size(), 1);
        QVERIFY(m_told[0].text.startsWith(QStringLiteral("Can't find audio output wave line")));
        Pactl({"set-sink-input-volume", QString::number(foreign), "30000"});
        const uint32_t controlId = (uint32_t(foreign) | 0x40000000u) << 1;
        QTRY_VERIFY(log().contains(QStringLiteral("unsingned is %1").arg(controlId)));
        player.kill();
        player.waitForFinished();
        QTRY_VERIFY(log().contains(
            QStringLiteral("MM_MIXM_LINE_CHANGE: %1").arg(uint32_t(foreign) | 0x40000000u)));
    }

    void dumpLogsTheMasterControls() {
        showFreshForm();
        m_form->Button1->click();
        QVERIFY(log().contains(
            QStringLiteral("MixerControl.dwControlType: MIXERCONTROL_CONTROLTYPE_VOLUME")));
        QVERIFY(log().contains(
            QStringLiteral("MixerControl.dwControlType: MIXERCONTROL_CONTROLTYPE_MUTE")));
        QVERIFY(log().contains(QStringLiteral("MixerControl.fdwControl: 1")));  // mute: uniform
        QCOMPARE(m_form->Edit1->text(), QStringLiteral("0"));
        QCOMPARE(m_form->Edit2->text(), QStringLiteral("1"));
        QCOMPARE(m_form->Edit3->text(), QStringLiteral("0"));
        QCOMPARE(m_form->Edit4->text(), QStringLiteral("1"));
    }

    // A sink that is gone when the dialog opens it stops the show with the mixer-line error.
    void goneSinkStopsTheShow() {
        const QByteArray module =
            Pactl({"load-module", "module-null-sink", "sink_name=cwgone"}).trimmed();
        showFreshForm();
        const int entry = m_form->MixerNames->findData(QStringLiteral("cwgone"));
        QVERIFY(entry >= 0);
        Pactl({"unload-module", QString::fromLatin1(module)});
        m_form->MixerNames->setCurrentIndex(entry);
        const int before = m_form->tbVolume->value();
        reopen();
        QCOMPARE(m_told.size(), 1);
        QVERIFY(m_told[0].error);
        QCOMPARE(m_told[0].text, QStringLiteral("Can't find audio output mixer line for ") +
                                     m_form->MixerNames->itemText(entry));
        QVERIFY(!m_form->slotFound(1));
        QCOMPARE(m_form->tbVolume->value(), before);
    }
};

QTEST_MAIN(TestVolumeForm)
#include "tst_VolumeForm_pulse.moc"
