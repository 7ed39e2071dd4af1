// The client-service wire format: fields, frame headers and records, with
// every defect of a hostile payload failing the reader.
#include "qor/spool/protocol.h"

#include <gtest/gtest.h>

namespace {

using namespace qor::spool;

TEST(Protocol, FieldsRoundTripAndEveryDefectFailsTheReader) {
    Writer w;
    w.u32(7).u64(1ull << 40).str("name").bytes("\x00\x01", 2);
    Reader r(w.payload());
    EXPECT_EQ(r.u32(), 7u);
    EXPECT_EQ(r.u64(), 1ull << 40);
    EXPECT_EQ(r.str(), "name");
    EXPECT_EQ(r.bytes().size(), 2u);
    EXPECT_TRUE(r.ok() && r.at_end());

    // Truncated anywhere: the reader fails instead of reading past the end.
    for (size_t cut = 0; cut < w.payload().size(); ++cut) {
        Reader t(w.payload().data(), cut);
        t.u32(), t.u64(), t.str(), t.bytes();
        EXPECT_FALSE(t.ok()) << "cut at " << cut;
    }
    Reader wrong(w.payload());
    wrong.str();  // a u32 comes first
    EXPECT_FALSE(wrong.ok());
    EXPECT_EQ(wrong.u32(), 0u);  // stays failed

    Writer zero;
    zero.str(std::string("a\0b", 3));
    Reader z(zero.payload());
    EXPECT_EQ(z.str(), "");
    EXPECT_FALSE(z.ok());

    Writer huge;
    huge.str(std::string(kMaxString + 1, 'x'));
    Reader h(huge.payload());
    h.str();
    EXPECT_FALSE(h.ok());

    std::vector<uint8_t> lying = {uint8_t(Tag::Bytes), 0xff, 0xff, 0xff, 0x7f, 1, 2};
    Reader l(lying);
    l.bytes();
    EXPECT_FALSE(l.ok());
}

TEST(Protocol, HeadersAreCheckedAndRecordsRoundTrip) {
    EXPECT_EQ(check_header({kFrameMagic, uint32_t(Op::Ping), 0}), HeaderCheck::Ok);
    EXPECT_EQ(check_header({0x12345678, uint32_t(Op::Ping), 0}), HeaderCheck::BadMagic);
    EXPECT_EQ(check_header({kFrameMagic, uint32_t(Op::Count), 0}), HeaderCheck::BadOp);
    EXPECT_EQ(check_header({kFrameMagic, uint32_t(Op::Ping), kMaxPayload + 1}), HeaderCheck::TooLarge);

    PrinterInfo p;
    p.name = "QOR ZEM-D", p.port = "COM1", p.devmode = {1, 2, 3}, p.attributes = 0x840, p.status = 0x10;
    DriverInfo d;
    d.name = "drv", d.dependent_files = {"a.so", "b.ppd"};
    Writer w;
    encode(w, p);
    encode_list(w, std::vector<DriverInfo>{d, d});
    Reader r(w.payload());
    PrinterInfo p2;
    std::vector<DriverInfo> ds;
    ASSERT_TRUE(decode(r, p2));
    ASSERT_TRUE(decode_list(r, ds));
    EXPECT_EQ(p2.name, p.name);
    EXPECT_EQ(p2.devmode, p.devmode);
    EXPECT_EQ(p2.attributes, p.attributes);
    ASSERT_EQ(ds.size(), 2u);
    EXPECT_EQ(ds[1].dependent_files, d.dependent_files);

    Writer many;
    many.u32(kMaxListItems + 1);
    Reader m(many.payload());
    EXPECT_FALSE(decode_list(m, ds));
}

}  // namespace
