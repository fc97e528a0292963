// The serial key line: what opening does to the lines, what a port that cannot be opened is
// told as, the key on DTR or RTS in both polarities, and closing with the key up. Through the
// fake port, then the real system calls on what is at hand: a pseudo-terminal and a file (not
// serial ports), and a real serial port when one is named.
#include "rig/KeyLine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#include "tests/common/FakeSerialPort.h"

using namespace cwt;
using namespace cwt::test;

namespace {

int LinesNow() { return FakePort().lines.load(); }

}  // namespace

TEST(KeyLine, OpeningDropsBothLinesAtOnceAndSetsHangUpOnClose) {
    ResetFakePort();
    KeyLine line(FakeSerialCalls());
    ASSERT_TRUE(line.open({"/dev/ttyUSB0", false, false}));
    // The first call to the lines clears DTR and RTS together: nothing keys in between.
    ASSERT_GE(FakePort().callCount.load(), 1);
    EXPECT_EQ(FakePort().calls[0].request, static_cast<unsigned long>(TIOCMBIC));
    EXPECT_EQ(FakePort().calls[0].bits, TIOCM_DTR | TIOCM_RTS);
    EXPECT_EQ(LinesNow(), 0);
    EXPECT_TRUE(FakePort().attributes.c_cflag & HUPCL);
    EXPECT_TRUE(FakePort().attributes.c_cflag & CLOCAL);

    ASSERT_TRUE(line.setKey(true));
    EXPECT_EQ(LinesNow(), TIOCM_DTR);
    ASSERT_TRUE(line.setKey(false));
    EXPECT_EQ(LinesNow(), 0);
    line.setKey(true);
    line.close();
    EXPECT_EQ(LinesNow(), 0) << "closing leaves the key up";
    EXPECT_EQ(FakePort().closes, 1);
}

TEST(KeyLine, InvertedRtsKeepsTheKeyUpFromTheStart) {
    ResetFakePort();
    KeyLine line(FakeSerialCalls());
    ASSERT_TRUE(line.open({"/dev/ttyS1", true, true}));
    // Asserted means key up: RTS never drops while opening, DTR does.
    for (int i = 0; i < FakePort().callCount.load(); ++i)
        EXPECT_FALSE(FakePort().calls[i].request == TIOCMBIC &&
                     FakePort().calls[i].bits & TIOCM_RTS);
    EXPECT_EQ(LinesNow(), TIOCM_RTS);
    // A hang-up on close would drop RTS, which is key down here.
    EXPECT_FALSE(FakePort().attributes.c_cflag & HUPCL);
    line.setKey(true);
    EXPECT_EQ(LinesNow(), 0);
    line.close();
    EXPECT_EQ(LinesNow(), TIOCM_RTS);
}

TEST(KeyLine, APortThatCannotBeOpenedIsToldInWords) {
    struct Case {
        int openErrno;
        int lockErrno;
        const char* words;
    };
    const Case cases[] = {
        {EACCES, 0, "dialout"},
        {ENOENT, 0, "포트가 없습니다"},
        {ENODEV, 0, "포트가 없습니다"},
        {EBUSY, 0, "다른 프로그램"},
        {0, EWOULDBLOCK, "다른 프로그램"},
        {EIO, 0, "열 수 없습니다"},
    };
    for (const Case& c : cases) {
        ResetFakePort();
        FakePort().openErrno = c.openErrno;
        FakePort().lockErrno = c.lockErrno;
        KeyLine line(FakeSerialCalls());
        EXPECT_FALSE(line.open({"/dev/ttyUSB3", false, false}));
        EXPECT_FALSE(line.isOpen());
        const QString text = line.errorText();
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.words))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("/dev/ttyUSB3"))) << text.toStdString();
        // A port another program holds keeps its lines as that program set them.
        EXPECT_EQ(FakePort().callCount.load(), 0);
    }
}

TEST(KeyLine, APulledOutAdapterFailsTheNextKeyAndSaysSo) {
    ResetFakePort();
    KeyLine line(FakeSerialCalls());
    ASSERT_TRUE(line.open({"/dev/ttyUSB0", false, false}));
    FakePort().modemErrno = EIO;
    FakePort().modemFailAfter = FakePort().callCount.load();
    EXPECT_FALSE(line.setKey(true));
    EXPECT_TRUE(line.lostText().contains(QStringLiteral("끊겼습니다")))
        << line.lostText().toStdString();
}

// The real system calls, on descriptors that are not serial ports: a pseudo-terminal has no
// modem lines and a file is no terminal at all. Either must be refused before anything keys.
TEST(KeyLine, RealCallsRefuseWhatIsNotASerialPort) {
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    KeyLine pty;
    EXPECT_FALSE(pty.open({name, false, false}));
    EXPECT_TRUE(pty.errorText().contains(QStringLiteral("직렬 포트가 아닙니다")))
        << pty.errorText().toStdString();
    ::close(slave);
    ::close(master);

    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("not-a-port")).toStdString();
    ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    KeyLine plain;
    EXPECT_FALSE(plain.open({file, false, false}));
    EXPECT_TRUE(plain.errorText().contains(QStringLiteral("직렬 포트가 아닙니다")));

    KeyLine missing;
    EXPECT_FALSE(
        missing.open({dir.filePath(QStringLiteral("ttyUSB9")).toStdString(), false, false}));
    EXPECT_TRUE(missing.errorText().contains(QStringLiteral("포트가 없습니다")));
}

// A real serial port, named by CWT_KEY_TEST_DEVICE. Its DTR and RTS are toggled, so it is never
// chosen by itself: a transmitter may hang on any port of a radio amateur's computer.
TEST(KeyLine, RealSerialPortWhenOneIsNamed) {
    const char* device = std::getenv("CWT_KEY_TEST_DEVICE");
    if (!device || !*device)
        GTEST_SKIP() << "no serial port to toggle: set CWT_KEY_TEST_DEVICE=/dev/ttyUSB0 (a port "
                        "with nothing keyed on it) to run this test";
    // A second descriptor reads the lines back; opened first, as the line makes the port
    // exclusive.
    const int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << strerror(errno);
    KeyLine line;
    ASSERT_TRUE(line.open({device, false, false})) << line.errorText().toStdString();
    auto lines = [&] {
        int bits = 0;
        EXPECT_EQ(::ioctl(fd, TIOCMGET, &bits), 0);
        return bits & (TIOCM_DTR | TIOCM_RTS);
    };
    EXPECT_EQ(lines(), 0) << "opening left a line raised";
    ASSERT_TRUE(line.setKey(true));
    EXPECT_EQ(lines(), TIOCM_DTR);
    ASSERT_TRUE(line.setKey(false));
    EXPECT_EQ(lines(), 0);
    ::close(fd);
    line.close();
}
