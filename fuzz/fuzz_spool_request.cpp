// The protocol's decoding: frame headers, tagged fields, and every
// operation's request and reply, fed with arbitrary bytes. Whatever
// decodes must encode and decode again to the same record.
#include "qor/spool/requests.h"

#include <cstdlib>
#include <cstring>

using namespace qor::spool;

namespace {

template <class R>
void expect_stable(const R& decoded) {
    Writer w;
    encode(w, decoded);
    Reader again(w.payload());
    R back;
    if (!decode(again, back) || !again.at_end() || !(back == decoded)) std::abort();
}

struct EachOperation {
    const uint8_t* data;
    size_t size;

    template <class Request>
    void operator()(Request) const {
        Reader in(data, size);
        Request request;
        if (decode(in, request)) expect_stable(request);

        Reader r(data, size);
        ReplyHead head;
        typename Request::Reply reply;
        if (!decode_reply<Request>(r, head, reply)) return;
        Writer w = encode_reply<Request>(head.error, reply);
        Reader again(w.payload());
        typename Request::Reply back;
        if (!decode_reply<Request>(again, head, back)) std::abort();
        if (reply_kind<Request>() == ReplyKind::Status || head.error == 0) expect_stable(reply);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= sizeof(FrameHeader)) {
        FrameHeader h;
        std::memcpy(&h, data, sizeof h);
        check_header(h);
        data += sizeof h;
        size -= sizeof h;
    }
    requests::for_each_operation(EachOperation{data, size});
    // Fields in whatever order the input's tags suggest.
    Reader r(data, size);
    for (size_t i = 0; i < size && r.ok() && !r.at_end(); ++i) {
        switch (data[i] % 4) {
        case 0: r.u32(); break;
        case 1: r.u64(); break;
        case 2: r.str(); break;
        default: r.bytes(kMaxPrinterData); break;
        }
    }
    return 0;
}
