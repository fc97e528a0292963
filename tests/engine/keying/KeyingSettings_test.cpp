// keying.ini: the settings come back as written, other sections are kept, and what is missing
// or not understood keeps its default.
#include "engine/keying/KeyingSettings.h"

#include <gtest/gtest.h>

using namespace cwt;

TEST(KeyingSettings, WrittenSettingsReadBackAndOtherSectionsStay) {
    KeyingSettings s;
    s.output = KeyOutput::RigKeyer;
    s.device = "/dev/ttyACM0";
    s.line = ModemLine::Rts;
    s.inverted = true;
    s.watchdogSeconds = 12;
    s.sidetone = false;
    s.connection = RigConnection::Cat;
    s.rigModel = 3073;
    s.rigPort = "/dev/ttyUSB1";
    s.rigSerialSpeed = 19200;
    s.rigctldAddress = "radio.local:4533";
    IniProfile file = IniProfile::Parse("; mine\n[Other]\nx=1\n");
    WriteKeyingSettings(file, s);
    const IniProfile again = IniProfile::Parse(file.Serialize());
    EXPECT_EQ(ReadKeyingSettings(again), s);
    EXPECT_EQ(again.Value("Other", "x"), "1");
}

TEST(KeyingSettings, MissingOrBadValuesKeepTheirDefaults) {
    EXPECT_EQ(ReadKeyingSettings(IniProfile::Parse("")), KeyingSettings{});
    const IniProfile bad = IniProfile::Parse(
        "[Keying]\nOutput=morse\nLine=CTS\nWatchdogSeconds=900\nRigModel=-4\nDevice=\n"
        "RigSerialSpeed=fast\nSidetone=yes\n");
    const KeyingSettings s = ReadKeyingSettings(bad);
    EXPECT_EQ(s.output, KeyOutput::SerialLine);
    EXPECT_EQ(s.line, ModemLine::Dtr);
    EXPECT_EQ(s.watchdogSeconds, kMaxWatchdogSeconds);
    EXPECT_EQ(s.rigModel, KeyingSettings{}.rigModel);
    EXPECT_EQ(s.device, KeyingSettings{}.device);
    EXPECT_EQ(s.rigSerialSpeed, 0);
    EXPECT_TRUE(s.sidetone);
    EXPECT_EQ(ReadKeyingSettings(IniProfile::Parse("[keying]\nline=rts\nPolarity=INVERTED\n")).line,
              ModemLine::Rts);
}
