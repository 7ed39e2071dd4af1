// Port names: classes, letter case, the devices and settings bare names
// stand for, and the language monitor's classes.
#include "qor/spool/ports.h"

#include <gtest/gtest.h>

namespace {

using namespace qor::ports;

TEST(PortNames, ClassesIgnoreCaseAndTakeAnOptionalColon) {
    EXPECT_EQ(classify("COM1"), PortClass::Serial);
    EXPECT_EQ(classify("com5"), PortClass::Serial);
    EXPECT_EQ(classify("Com12:"), PortClass::Serial);
    EXPECT_EQ(classify("lpt2"), PortClass::Parallel);
    EXPECT_EQ(classify("USB001"), PortClass::Usb);
    EXPECT_EQ(classify("file:"), PortClass::File);
    EXPECT_EQ(classify("/tmp/out.prn"), PortClass::Path);
    // Not numbered ports: no number, number 0, too many digits, letters after.
    for (const char* other : {"COM", "COM0", "COM12345", "COM1a", "FILE", "FILE:x", "Kiosk", ""})
        EXPECT_EQ(classify(other), PortClass::Other) << other;
    EXPECT_EQ(port_number("usb003"), 3u);
    EXPECT_EQ(port_number("FILE:"), 0u);
}

TEST(PortNames, TheLowerCaseNameIsTheSamePortWithTheSameDefaults) {
    EXPECT_EQ(canonical_name("com5"), "COM5");
    EXPECT_EQ(canonical_name("com5:"), "COM5");
    EXPECT_EQ(canonical_name("usb001"), "USB001");
    EXPECT_EQ(canonical_name("file:"), "FILE:");
    EXPECT_EQ(canonical_name("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(canonical_name("Kiosk"), "Kiosk");
    EXPECT_TRUE(same_port("com5", "COM5"));
    EXPECT_FALSE(same_port("COM5", "COM6"));
    EXPECT_EQ(default_settings("com5"), "9600,n,8,1");
    EXPECT_EQ(default_settings("COM5"), kDefaultSerialSettings);
    EXPECT_EQ(default_settings("LPT1"), "");
}

TEST(PortNames, BareNamesStandForTheMachinesDevices) {
    EXPECT_EQ(default_device("COM1"), "/dev/ttyS0");
    EXPECT_EQ(default_device("lpt2"), "/dev/lp1");
    EXPECT_EQ(default_device("USB001"), "/dev/usb/lp0");
    EXPECT_EQ(default_device("/tmp/x"), "/tmp/x");
    EXPECT_EQ(default_device("FILE:"), "");
    EXPECT_EQ(default_device("Kiosk"), "");
}

TEST(PortNames, TheLanguageMonitorsClasses) {
    EXPECT_TRUE(is_serial_port(u"com1"));
    EXPECT_TRUE(is_serial_port(u"COMX"));  // any fourth character
    EXPECT_FALSE(is_serial_port(u"COM"));
    EXPECT_TRUE(is_parallel_port(u"LPT9"));
    EXPECT_FALSE(is_parallel_port(u"LPT0"));
    EXPECT_TRUE(is_file_port(u"file:"));
    EXPECT_FALSE(is_file_port(u"FILE"));
    EXPECT_FALSE(is_serial_port(u"USB001"));
}

}  // namespace
