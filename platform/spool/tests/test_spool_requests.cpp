// Every operation of the protocol: requests and replies survive the trip
// through the wire format, and any damage to one fails its decoder.
#include "qor/spool/requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace qor::spool;

// Sets every field a record lists to a value unlike its default and unlike
// the other fields.
struct Filler {
    uint32_t next = 100;
    void u32(uint32_t& v) { v = next++; }
    void u64(uint64_t& v) { v = (uint64_t(next++) << 33) | 5; }
    void flag(bool& v) { v = true; }
    void str(std::string& v) { v = "f\xc3\xa9ld " + std::to_string(next++); }
    void bytes(std::vector<uint8_t>& v, uint32_t) { v = {uint8_t(next++), 0, 0xff}; }
    void strings(std::vector<std::string>& v, uint32_t) { v = {"a" + std::to_string(next++), "b"}; }
    template <class T>
    void list(std::vector<T>& items) {
        items.resize(2);
        for (auto& item : items) T::fields(item, *this);
    }
};

template <class R>
R filled() {
    R record;
    Filler f;
    R::fields(record, f);
    return record;
}

template <class R>
std::vector<uint8_t> encoded(const R& record) {
    Writer w;
    encode(w, record);
    return w.payload();
}

// Where the tags of a well-formed payload sit.
std::vector<size_t> tag_offsets(const std::vector<uint8_t>& p) {
    std::vector<size_t> at;
    for (size_t pos = 0; pos < p.size();) {
        at.push_back(pos);
        auto tag = Tag(p[pos++]);
        if (tag == Tag::U32) {
            pos += 4;
        } else if (tag == Tag::U64) {
            pos += 8;
        } else {
            uint32_t n;
            std::memcpy(&n, &p[pos], 4);
            pos += 4 + n;
        }
    }
    return at;
}

// Every cut short of the end, and every tag changed to each other value,
// must make `decodes` fail.
template <class Decodes>
void expect_damage_fails(const std::vector<uint8_t>& payload, Decodes decodes) {
    for (size_t cut = 0; cut < payload.size(); ++cut) {
        Reader r(payload.data(), cut);
        EXPECT_FALSE(decodes(r)) << "cut at " << cut;
    }
    for (size_t at : tag_offsets(payload)) {
        for (uint8_t tag = 0; tag <= 5; ++tag) {
            if (tag == payload[at]) continue;
            auto damaged = payload;
            damaged[at] = tag;
            Reader r(damaged);
            EXPECT_FALSE(decodes(r)) << "tag " << int(tag) << " at " << at;
        }
    }
}

TEST(Requests, EveryOperationAndItsRepliesRoundTrip) {
    size_t count = 0;
    requests::for_each_operation([&](auto proto) {
        using Request = decltype(proto);
        using Reply = typename Request::Reply;
        SCOPED_TRACE("op " + std::to_string(uint32_t(Request::op)));
        ++count;

        const Request request = filled<Request>();
        auto payload = encoded(request);
        Reader in(payload);
        Request back;
        EXPECT_TRUE(decode(in, back) && in.at_end());
        EXPECT_TRUE(back == request);

        const Reply reply = filled<Reply>();
        Writer ok = encode_reply<Request>(0, reply);
        Reader r(ok.payload());
        ReplyHead head;
        Reply got;
        ASSERT_TRUE(decode_reply<Request>(r, head, got) && r.at_end());
        EXPECT_EQ(head.result, reply_kind<Request>() == ReplyKind::Status ? 0u : 1u);
        EXPECT_EQ(head.error, 0u);
        EXPECT_TRUE(got == reply);

        // A failed call: a LastError reply carries no record, a Status one
        // still does.
        Writer failed = encode_reply<Request>(ERROR_ACCESS_DENIED, reply);
        Reader f(failed.payload());
        Reply after_failure;
        ASSERT_TRUE(decode_reply<Request>(f, head, after_failure) && f.at_end());
        EXPECT_EQ(head.error, DWORD(ERROR_ACCESS_DENIED));
        if constexpr (reply_kind<Request>() == ReplyKind::Status) {
            EXPECT_EQ(head.result, DWORD(ERROR_ACCESS_DENIED));
            EXPECT_TRUE(after_failure == reply);
        } else {
            EXPECT_EQ(head.result, 0u);
            EXPECT_TRUE(after_failure == Reply{});
        }
    });
    EXPECT_EQ(count, size_t(Op::Count) - 1);
}

TEST(Requests, DamagedRequestsAndRepliesFailToDecode) {
    requests::for_each_operation([](auto proto) {
        using Request = decltype(proto);
        using Reply = typename Request::Reply;
        SCOPED_TRACE("op " + std::to_string(uint32_t(Request::op)));
        expect_damage_fails(encoded(filled<Request>()), [](Reader& r) {
            Request request;
            return decode(r, request);
        });
        Writer reply = encode_reply<Request>(0, filled<Reply>());
        expect_damage_fails(reply.payload(), [](Reader& r) {
            ReplyHead head;
            Reply decoded;
            return decode_reply<Request>(r, head, decoded);
        });
    });
}

TEST(Requests, ReaderBoundsEveryLengthAndCount) {
    requests::OpenPrinter open;
    open.devmode.assign(kMaxPrinterData + 1, 0);
    auto big = encoded(open);
    Reader r1(big);
    EXPECT_FALSE(decode(r1, open));

    DriverInfo driver;
    driver.dependent_files.assign(kMaxDependentFiles + 1, "x.so");
    auto many = encoded(driver);
    Reader r2(many);
    EXPECT_FALSE(decode(r2, driver));
    driver.dependent_files.resize(kMaxDependentFiles);
    many = encoded(driver);
    Reader r3(many);
    EXPECT_TRUE(decode(r3, driver));

    // A count that promises more records than follow.
    Writer promise;
    promise.u32(1).u32(0).u32(3).str("COM1");
    Reader r4(promise.payload());
    ReplyHead head;
    requests::List<PortInfo> ports;
    EXPECT_FALSE(decode_reply<requests::EnumPorts>(r4, head, ports));
    EXPECT_TRUE(ports.items.empty());
}

}  // namespace
