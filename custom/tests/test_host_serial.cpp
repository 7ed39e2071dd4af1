#include "host_serial_test.h"

#include <gtest/gtest.h>

using namespace custom;

namespace {

// The host side of the factory byte 3, C8: 38400, BUSY, one stop bit, 8 bits, no parity.
DCB factory_host() {
    DCB d{};
    d.BaudRate = 38400;
    d.fOutxCtsFlow = 1;
    d.StopBits = ONESTOPBIT;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    return d;
}

}  // namespace

TEST(CustomHostSerial, FactorySettingsAgree) { EXPECT_EQ(serial_mismatch(0xC8, factory_host()), ""); }

TEST(CustomHostSerial, OnlyTheFirstDifferenceIsReported) {
    DCB host = factory_host();
    host.BaudRate = 9600;
    host.ByteSize = 7;
    host.Parity = EVENPARITY;
    // 19200 is bits 1-2 = 1.
    EXPECT_EQ(serial_mismatch(0xCA, host), "Mismatch [Bit per second] port setting of Host and Printer");
}

TEST(CustomHostSerial, EachFieldInTurn) {
    DCB host = factory_host();
    host.fOutxCtsFlow = 0;
    EXPECT_EQ(serial_mismatch(0xC8, host), "Mismatch [Flow control] port setting of Host and Printer");
    host.fOutX = host.fInX = 1;  // XON/XOFF; CTS not looked at then
    EXPECT_EQ(serial_mismatch(0x48, host), "");
    host = factory_host();
    host.StopBits = TWOSTOPBITS;
    EXPECT_EQ(serial_mismatch(0xC8, host), "Mismatch [Stop bits] port setting of Host and Printer");
    host = factory_host();
    host.ByteSize = 7;
    EXPECT_EQ(serial_mismatch(0xC8, host), "Mismatch [Data bits] port setting of Host and Printer");
    host = factory_host();
    host.Parity = ODDPARITY;
    EXPECT_EQ(serial_mismatch(0xC8, host), "Mismatch [Parity] port setting of Host and Printer");
    EXPECT_EQ(serial_mismatch(0xD8, host), "");  // bits 4-5 = 1: odd
    host.Parity = NOPARITY;
    EXPECT_EQ(serial_mismatch(0xE8, host), "");  // bits 4-5 = 2: none as well
}
