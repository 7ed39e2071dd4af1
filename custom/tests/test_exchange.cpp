#include "exchange.h"

#include "fake_cil.h"

#include <gtest/gtest.h>

#include <thread>

using namespace custom;
using namespace std::chrono_literals;

namespace {

class CustomExchange : public ::testing::Test {
protected:
    void SetUp() override { fakecil::reset(); }
    void TearDown() override { fakecil::release(); }
    ExchangeResult run(const std::vector<BYTE>& send, DWORD receive_length, const std::string& printer = "P") {
        return run_exchange(fakecil::link(), printer, send, receive_length, fakecil::fast_timing(100ms), {},
                            abandoned);
    }
    AbandonedWorkers abandoned;
};

}  // namespace

TEST_F(CustomExchange, EmptyExchangeSucceedsAfterOneCall) {
    const ExchangeResult r = run({}, 0, "P \"q\"");
    EXPECT_TRUE(r.ok);
    auto l = fakecil::lock();
    EXPECT_EQ(fakecil::script().calls, 1);
    EXPECT_EQ(fakecil::script().closes, 1);
    EXPECT_EQ(fakecil::script().opened_name, "P \"q\"");
}

TEST_F(CustomExchange, ReplySplitOverCallsIsAssembledInOrder) {
    {
        auto l = fakecil::lock();
        fakecil::script().pieces = {{0x55, 0x01}, {}, {0x02, 0x03, 0x04}, {0x05, 0x06, 0x07, 0x08}};
    }
    const ExchangeResult r = run({1, 2, 3}, 10);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.reply, (std::vector<BYTE>{0x55, 1, 2, 3, 4, 5, 6, 7, 8}));
    auto l = fakecil::lock();
    EXPECT_EQ(fakecil::script().calls, 5);  // the limit, the tenth byte never came
    EXPECT_EQ(fakecil::script().sent, (std::vector<BYTE>{1, 2, 3}));
}

TEST_F(CustomExchange, SendOverSeveralCallsAndShortSendFails) {
    {
        auto l = fakecil::lock();
        fakecil::script().send_per_call = 2;
    }
    EXPECT_TRUE(run({1, 2, 3, 4, 5, 6, 7, 8, 9}, 0).ok);
    fakecil::reset();
    {
        auto l = fakecil::lock();
        fakecil::script().send_per_call = 1;
    }
    const ExchangeResult r = run({1, 2, 3, 4, 5, 6, 7, 8, 9}, 0);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.sent, 5u);
}

TEST_F(CustomExchange, OpenOrCallFailureFails) {
    {
        auto l = fakecil::lock();
        fakecil::script().open_result = 100013;
    }
    EXPECT_FALSE(run({}, 0).ok);
    {
        auto l = fakecil::lock();
        EXPECT_EQ(fakecil::script().closes, 0);
    }
    fakecil::reset();
    {
        auto l = fakecil::lock();
        fakecil::script().comm_result = 100010;
    }
    EXPECT_FALSE(run({1}, 0).ok);
    EXPECT_FALSE(run_exchange(CilLink{}, "P", {}, 0, fakecil::fast_timing(100ms), {}, abandoned).ok);
}

TEST_F(CustomExchange, TimeLimitFailsClosesOnceAndTheLateWorkerTouchesNothing) {
    {
        auto l = fakecil::lock();
        fakecil::script().hang = true;
        fakecil::script().pieces = {std::vector<BYTE>(21, 0x55)};
    }
    int pumps = 0;
    const auto start = std::chrono::steady_clock::now();
    {
        AbandonedWorkers left;
        std::vector<BYTE> send = {1, 2, 3};
        const ExchangeResult r = run_exchange(fakecil::link(), "P", send, 21, fakecil::fast_timing(100ms),
                                              [&] { ++pumps; }, left);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.timed_out);
        EXPECT_GE(std::chrono::steady_clock::now() - start, 1100ms);
        EXPECT_GT(pumps, 0);
        {
            auto l = fakecil::lock();
            EXPECT_EQ(fakecil::script().closes, 1);  // after the pause, before returning
        }
        // The abandoned call now returns into the worker's own buffers;
        // `left` waits for the worker to end.
        fakecil::release();
    }
    auto l = fakecil::lock();
    EXPECT_EQ(fakecil::script().closes, 1);
    EXPECT_EQ(fakecil::script().calls, 1);
}
