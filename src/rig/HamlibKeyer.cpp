#include "rig/HamlibKeyer.h"

#include <hamlib/rig.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <mutex>

namespace cwt {

namespace {

void LoadHamlib() {
    static std::once_flag once;
    std::call_once(once, [] {
        rig_set_debug(RIG_DEBUG_NONE);
        rig_load_all_backends();
        // A rigctld that goes away would end the program with SIGPIPE on the next write.
        std::signal(SIGPIPE, SIG_IGN);
        // Hamlib switches LC_NUMERIC to "C" around its calls and back, on the keyer's thread,
        // and reads the saved locale name after switching has freed it. With "C" in place
        // already nothing is switched or freed; the program formats its numbers with QLocale.
        setlocale(LC_NUMERIC, "C");
    });
}

QString RigErrorText(int code) {
    switch (-std::abs(code)) {
        case -RIG_ECONF:
            return QStringLiteral("설정이 맞지 않습니다 (포트, 속도)");
        case -RIG_ETIMEOUT:
            return QStringLiteral("무선기가 응답하지 않습니다");
        case -RIG_EIO:
            return QStringLiteral("포트를 열 수 없거나 연결이 끊겼습니다");
        case -RIG_EPROTO:
            return QStringLiteral("무선기의 응답을 알아들을 수 없습니다");
        case -RIG_ERJCTED:
            return QStringLiteral("무선기가 명령을 거부했습니다");
        case -RIG_ENAVAIL:
        case -RIG_ENIMPL:
            return QStringLiteral("이 무선기에는 없는 기능입니다");
        case -RIG_EPOWER:
            return QStringLiteral("무선기의 전원이 꺼져 있습니다");
        default:
            break;
    }
    return QString::fromUtf8(rigerror2(code)).trimmed();
}

bool IsLost(int code) { return code == -RIG_EIO || code == -RIG_ETIMEOUT; }

QString OpenFailure(const RigKeyerConfig& config, int code) {
    const QString where = QString::fromStdString(config.pathname);
    if (config.model == kRigctldModel)
        return QStringLiteral(
                   "rigctld(%1)에 연결할 수 없습니다: %2. rigctld가 실행 중인지, "
                   "주소와 포트가 맞는지 확인하세요.")
            .arg(where, RigErrorText(code));
    if (access(config.pathname.c_str(), F_OK) != 0)
        return QStringLiteral("무선기의 CAT 포트 %1 이(가) 없습니다.").arg(where);
    if (access(config.pathname.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM))
        return QStringLiteral(
                   "무선기의 CAT 포트 %1 을(를) 열 권한이 없습니다. 사용자를 "
                   "\"dialout\" 그룹에 넣고 다시 로그인하세요.")
            .arg(where);
    return QStringLiteral("무선기를 열 수 없습니다 (%1): %2").arg(where, RigErrorText(code));
}

}  // namespace

std::vector<RigModelInfo> RigModels() {
    LoadHamlib();
    std::vector<RigModelInfo> models;
    rig_list_foreach(
        [](const rig_caps* caps, rig_ptr_t data) {
            static_cast<std::vector<RigModelInfo>*>(data)->push_back(
                {static_cast<int>(caps->rig_model), QString::fromUtf8(caps->mfg_name),
                 QString::fromUtf8(caps->model_name)});
            return 1;  // go on
        },
        &models);
    std::sort(models.begin(), models.end(), [](const RigModelInfo& a, const RigModelInfo& b) {
        if (a.maker != b.maker) return a.maker < b.maker;
        if (a.name != b.name) return a.name < b.name;
        return a.model < b.model;
    });
    return models;
}

// Keyer thread only.
struct HamlibKeyer::Rig {
    RIG* rig = nullptr;
    bool canStop = false;
    bool stopRefusalTold = false;
    int speedMin = 0;
    int speedMax = 0;
    int clampedTold = -1;

    void close() {
        if (!rig) return;
        if (canStop) rig_stop_morse(rig, RIG_VFO_CURR);
        rig_close(rig);
        rig_cleanup(rig);
        rig = nullptr;
    }
};

HamlibKeyer::HamlibKeyer(QObject* parent) : QObject(parent) {
    LoadHamlib();
    m_thread = std::thread([this] { run(); });
}

HamlibKeyer::~HamlibKeyer() {
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_queue.push_back({Command::Kind::Close, {}, 0, {}});
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void HamlibKeyer::push(Command command, bool front) {
    {
        std::lock_guard lock(m_mutex);
        if (front)
            m_queue.push_front(std::move(command));
        else
            m_queue.push_back(std::move(command));
    }
    m_changed.notify_all();
}

void HamlibKeyer::open(const RigKeyerConfig& config) { push({Command::Kind::Open, config, 0, {}}); }

void HamlibKeyer::setSpeed(int wpm) { push({Command::Kind::Speed, {}, wpm, {}}); }

void HamlibKeyer::send(const std::string& text) { push({Command::Kind::Send, {}, 0, text}); }

void HamlibKeyer::stop() {
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_queue, [](const Command& c) { return c.kind == Command::Kind::Send; });
    }
    push({Command::Kind::Stop, {}, 0, {}}, true);
}

bool HamlibKeyer::waitIdle(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_queue.empty() && !m_busy; });
}

void HamlibKeyer::run() {
    Rig rig;
    for (;;) {
        Command command;
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_queue.empty(); });
            command = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
        }
        execute(rig, command);
        if (command.kind == Command::Kind::Close && m_quit) break;
    }
    std::lock_guard lock(m_mutex);
    m_busy = false;
    m_changed.notify_all();
}

// Keyer thread.
void HamlibKeyer::execute(Rig& rig, const Command& command) {
    switch (command.kind) {
        case Command::Kind::Open: {
            rig.close();
            rig = Rig{};
            RIG* r = rig_init(static_cast<rig_model_t>(command.config.model));
            if (!r) {
                emit failed(QStringLiteral("Hamlib이 모르는 무선기 모델입니다 (%1).")
                                .arg(command.config.model));
                return;
            }
            rig_set_conf(r, rig_token_lookup(r, "rig_pathname"), command.config.pathname.c_str());
            if (command.config.serialSpeed > 0)
                rig_set_conf(r, rig_token_lookup(r, "serial_speed"),
                             std::to_string(command.config.serialSpeed).c_str());
            if (const int rc = rig_open(r); rc != RIG_OK) {
                rig_cleanup(r);
                emit failed(OpenFailure(command.config, rc));
                return;
            }
            if (!r->caps->send_morse) {
                rig_close(r);
                rig_cleanup(r);
                emit failed(
                    QStringLiteral("이 무선기는 Hamlib으로 내장 키어를 쓸 수 없습니다 "
                                   "(send_morse가 없습니다)."));
                return;
            }
            rig.rig = r;
            rig.canStop = r->caps->stop_morse != nullptr;
            const gran_t gran = r->state.level_gran[rig_setting2idx(RIG_LEVEL_KEYSPD)];
            rig.speedMin = gran.min.i;
            rig.speedMax = gran.max.i;
            emit opened(command.config.model == kRigctldModel
                            ? QStringLiteral("rigctld %1")
                                  .arg(QString::fromStdString(command.config.pathname))
                            : QStringLiteral("%1 %2").arg(QString::fromUtf8(r->caps->mfg_name),
                                                          QString::fromUtf8(r->caps->model_name)));
            return;
        }
        case Command::Kind::Speed: {
            if (!rig.rig) return;
            int wpm = command.wpm;
            if (rig.speedMax > 0) wpm = std::clamp(wpm, std::max(rig.speedMin, 1), rig.speedMax);
            if (wpm != command.wpm && rig.clampedTold != command.wpm) {
                rig.clampedTold = command.wpm;
                emit refused(QStringLiteral("무선기 키어의 속도는 %1–%2 WPM입니다: %3 WPM 대신 "
                                            "%4 WPM으로 보냅니다.")
                                 .arg(rig.speedMin)
                                 .arg(rig.speedMax)
                                 .arg(command.wpm)
                                 .arg(wpm));
            }
            value_t value{};
            value.i = wpm;
            if (const int rc = rig_set_level(rig.rig, RIG_VFO_CURR, RIG_LEVEL_KEYSPD, value);
                rc != RIG_OK)
                emit refused(QStringLiteral("무선기가 키어 속도 %1 WPM을 받지 않았습니다: %2")
                                 .arg(wpm)
                                 .arg(RigErrorText(rc)));
            return;
        }
        case Command::Kind::Send: {
            if (!rig.rig) return;
            const int rc = rig_send_morse(rig.rig, RIG_VFO_CURR, command.text.c_str());
            if (rc == RIG_OK) return;
            const QString text = QString::fromStdString(command.text);
            if (IsLost(rc)) {
                rig.canStop = false;  // a lost rig would only time out again
                rig.close();
                emit failed(QStringLiteral("무선기와의 연결이 끊겼습니다 (\"%1\"을(를) 보내지 "
                                           "못했습니다): %2")
                                .arg(text, RigErrorText(rc)));
                return;
            }
            emit refused(QStringLiteral("무선기가 \"%1\"을(를) 보내지 않았습니다: %2")
                             .arg(text, RigErrorText(rc)));
            return;
        }
        case Command::Kind::Stop: {
            if (!rig.rig) return;
            const int rc = rig.canStop ? rig_stop_morse(rig.rig, RIG_VFO_CURR) : -RIG_ENAVAIL;
            if (rc != RIG_OK && !rig.stopRefusalTold) {
                rig.stopRefusalTold = true;
                emit refused(QStringLiteral("무선기가 키어 송신 중지를 받지 않았습니다: %1. "
                                            "무선기에 남은 글자는 끝까지 나갑니다.")
                                 .arg(RigErrorText(rc)));
            }
            return;
        }
        case Command::Kind::Close:
            rig.close();
            return;
    }
}

}  // namespace cwt
