// The service's request table: every operation is served, and a request
// whose fields do not decode is answered in its operation's own reply form.
#include "request_dispatch.h"

#include "qor/spool/requests.h"

#include "qortest.h"

#include <gtest/gtest.h>

namespace {

using namespace qor::spooler;
using namespace qor::spool;

DispatchResult dispatch(Service& service, Session& session, Op op, const std::vector<uint8_t>& payload) {
    Reader in(payload);
    return dispatch_request(service, session, op, in);
}

TEST(Dispatch, UndecodableRequestsGetInvalidParameterInTheirOwnReplyForm) {
    Service service({});  // not started: no handler may run
    Session session;
    size_t with_fields = 0;
    requests::for_each_operation([&](auto proto) {
        using Request = decltype(proto);
        SCOPED_TRACE("op " + std::to_string(uint32_t(Request::op)));
        Writer w;
        encode(w, Request{});
        if (w.payload().empty()) return;  // nothing to damage
        ++with_fields;
        std::vector<uint8_t> cut(w.payload().begin(), w.payload().end() - 1);
        DispatchResult r = dispatch(service, session, Request::op, cut);
        EXPECT_EQ(r.pass_fd, -1);
        EXPECT_FALSE(r.shutdown);
        Reader in(r.reply.payload());
        ReplyHead head;
        typename Request::Reply reply;
        ASSERT_TRUE(decode_reply<Request>(in, head, reply));
        EXPECT_EQ(head.error, DWORD(ERROR_INVALID_PARAMETER));
        bool status = reply_kind<Request>() == ReplyKind::Status;
        EXPECT_EQ(head.result, status ? DWORD(ERROR_INVALID_PARAMETER) : 0u);
    });
    EXPECT_GT(with_fields, 20u);

    // No operation answers to the reply code or to numbers past the last.
    for (Op op : {Op::Reply, Op::Count, Op(1000)}) {
        DispatchResult r = dispatch(service, session, op, {});
        Reader in(r.reply.payload());
        EXPECT_EQ(in.u32(), 0u);
        EXPECT_EQ(in.u32(), DWORD(ERROR_INVALID_PARAMETER));
    }

    DispatchResult stop = dispatch(service, session, Op::Shutdown, {});
    EXPECT_TRUE(stop.shutdown);
    Reader in(stop.reply.payload());
    EXPECT_EQ(in.u32(), 1u);
    EXPECT_EQ(in.u32(), 0u);
}

}  // namespace
