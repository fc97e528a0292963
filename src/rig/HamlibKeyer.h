#pragma once
// The rig's own keyer through Hamlib: text goes out with rig_send_morse at the speed set with
// RIG_LEVEL_KEYSPD, and a stop calls rig_stop_morse. The rig is reached on its CAT port (a
// Hamlib model and a serial device) or through rigctld over the network (model 2 with
// "host:port").
//
// Every Hamlib call runs on the keyer's own thread: a rig that is slow or does not answer
// never holds up the GUI thread, which only queues commands. What the rig refuses, and a rig
// that cannot be opened or is lost, is reported through the signals, on the GUI thread.

#include <QObject>
#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cwt {

struct RigKeyerConfig {
    int model = 2;         // Hamlib model; 2 is rigctld over the network
    std::string pathname;  // CAT device, or host:port of rigctld
    int serialSpeed = 0;   // baud on a CAT port; 0 keeps the model's default
};

inline constexpr int kRigctldModel = 2;

struct RigModelInfo {
    int model = 0;
    QString maker;
    QString name;
};
// Every model Hamlib knows, by maker and name.
std::vector<RigModelInfo> RigModels();

class HamlibKeyer : public QObject {
    Q_OBJECT
public:
    explicit HamlibKeyer(QObject* parent = nullptr);
    // Stops the rig's keyer, closes the rig and ends the thread.
    ~HamlibKeyer() override;

    // GUI thread; each only queues its command.
    void open(const RigKeyerConfig& config);
    void setSpeed(int wpm);
    void send(const std::string& text);
    // Drops the text not yet sent and stops the rig's keyer.
    void stop();

    // GUI thread: waits until every queued command has run, at most `timeoutMs`. For tests and
    // for closing.
    bool waitIdle(int timeoutMs);

signals:
    void opened(const QString& rigName);
    // The rig could not be opened or was lost: nothing more is sent.
    void failed(const QString& message);
    // The rig refused a command (speed, text, stop); sending goes on.
    void refused(const QString& message);

private:
    struct Command {
        enum class Kind { Open, Speed, Send, Stop, Close } kind;
        RigKeyerConfig config;
        int wpm = 0;
        std::string text;
    };
    struct Rig;

    void push(Command command, bool front = false);
    void run();
    void execute(Rig& rig, const Command& command);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Command> m_queue;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread;
};

}  // namespace cwt
