// The program's exchange against the simulated analyser over a real
// pseudo-terminal, for every kind of reply the analyser or the line can give.
#include "rte/rs232.h"
#include "tests/serial/serial_fixture.h"

#include <cstdlib>
#include <string_view>

namespace serialtest {
namespace {

using namespace std::string_view_literals;

// What the simulator puts into its garbage replies.
constexpr std::string_view kGarbage = "\x00\x80\xff\x11\x13\x03\x1b\x0a\x7f\x9b"sv;

enum class Rest {
    Nothing,  // the prefix is the whole reply
    Number,   // a number follows the prefix, up to the end
    Filler,   // anything up to the count
};

struct ReplyCase {
    const char *name;
    const char *mode;
    const char *query;
    int status;
    std::string prefix;
    Rest rest;
};

void PrintTo(const ReplyCase &c, std::ostream *out) { *out << c.name; }

bool isNumber(const std::string &text)
{
    char *end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size();
}

class ReplyKinds : public SimulatorTest, public ::testing::WithParamInterface<ReplyCase> {};

void expectReply(const ReplyCase &c, const Reply &reply)
{
    EXPECT_EQ(reply.status, c.status);
    ASSERT_GE(reply.bytes.size(), c.prefix.size()) << reply.bytes;
    EXPECT_EQ(reply.bytes.substr(0, c.prefix.size()), c.prefix);
    const std::string rest = reply.bytes.substr(c.prefix.size());
    switch (c.rest) {
    case Rest::Nothing:
        EXPECT_EQ(rest, "");
        break;
    case Rest::Number:
        EXPECT_TRUE(isNumber(rest)) << '"' << rest << '"';
        break;
    case Rest::Filler:
        EXPECT_EQ(reply.bytes.size(), static_cast<std::size_t>(kReplyCount));
        EXPECT_EQ(rest.find('\r'), std::string::npos);
        break;
    }
}

TEST_P(ReplyKinds, AreStoredWithTheirStatus)
{
    const ReplyCase &c = GetParam();
    sim_->setMode(c.mode);
    expectReply(c, exchange(kPort, c.query));
}

const std::string kG(kGarbage);

const ReplyCase kReplyCases[] = {
    ReplyCase{"Oxygen", "normal", "M2", kRs232NoError, "M2 ", Rest::Number},
    ReplyCase{"Voltage", "normal", "A1", kRs232NoError, "A1 ", Rest::Number},
    ReplyCase{"Temperature", "normal", "A2", kRs232NoError, "A2 ", Rest::Number},
    ReplyCase{"Silent", "silent", "M2", kRs232Timeout, "", Rest::Nothing},
    ReplyCase{"WrongLetter", "wrong-letter", "M2", kRs232NoError, "X2 ", Rest::Number},
    ReplyCase{"NoCarriageReturn", "no-cr", "M2", kRs232Timeout, "M2 ", Rest::Number},
    ReplyCase{"LongerThanTheCount", "long", "M2", kRs232NoError, "M2 ", Rest::Filler},
    ReplyCase{"GarbageAfterTheLetter", "garbage", "M2", kRs232NoError, "M" + kG + "2 ", Rest::Number},
    ReplyCase{"GarbageBeforeTheLetter", "garbage-lead", "M2", kRs232NoError, kG + "M2 ", Rest::Number},
    ReplyCase{"Slow", "slow", "M2", kRs232Timeout, "", Rest::Nothing},
    ReplyCase{"LetterOnly", "letter-only", "M2", kRs232NoError, "M", Rest::Nothing},
};

INSTANTIATE_TEST_SUITE_P(Serial, ReplyKinds, ::testing::ValuesIn(kReplyCases),
                         [](const ::testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });

// A read on a slow line looks again when a reply as long as the last one
// can have come: replies longer and shorter than the one before, one after
// another on the paced line, are each read whole.
TEST_F(SimulatorTest, RepliesLongerAndShorterThanTheLastAreEachReadWhole)
{
    for (int round = 0; round < 2; ++round)
        for (const ReplyCase &c : kReplyCases) {
            if (c.status != kRs232NoError)
                continue;  // the time-outs have their own cases
            SCOPED_TRACE(c.name);
            sim_->setMode(c.mode);
            const long before = sim_->status().finished;
            expectReply(c, exchange(kPort, c.query));
            // What an overlong reply leaves is the next exchange's to flush.
            sim_->waitForFinished(before + 1);
            ASSERT_EQ(FlushInQ(kPort), kRs232NoError);
        }
}

// Where the rest of an overlong reply waits when the next exchange begins:
// still in the terminal (the reply is paced and the read ended before its
// end arrived), or already in the service's own buffer (the reply came in
// one piece and the read took it all from the terminal).
class OverlongReply : public SimulatorTest, public ::testing::WithParamInterface<bool> {
protected:
    std::vector<std::string> simulatorOptions() const override
    {
        return GetParam() ? std::vector<std::string>{} : std::vector<std::string>{"--no-pacing"};
    }
    void SetUp() override
    {
        SimulatorTest::SetUp();
        sim_->setMode("long");
    }
};

TEST_P(OverlongReply, LeavesItsRestQueued)
{
    const long before = sim_->status().finished;
    const Reply first = exchange(kPort, "M2");
    ASSERT_EQ(first.status, kRs232NoError);
    ASSERT_EQ(first.bytes.size(), static_cast<std::size_t>(kReplyCount));
    sim_->waitForFinished(before + 1);
    const Reply rest = readReply(kPort);
    EXPECT_EQ(rest.status, kRs232NoError);
    EXPECT_EQ(rest.bytes, "______");
}

TEST_P(OverlongReply, LosesItsRestToTheNextFlush)
{
    const long before = sim_->status().finished;
    ASSERT_EQ(exchange(kPort, "M2").status, kRs232NoError);
    sim_->waitForFinished(before + 1);
    EXPECT_EQ(FlushInQ(kPort), kRs232NoError);
    // Nothing was asked, so nothing may come: whatever arrives is left over.
    ASSERT_EQ(SetComTime(kPort, 0.2), kRs232NoError);
    const Reply after = readReply(kPort);
    EXPECT_EQ(after.status, kRs232Timeout);
    EXPECT_EQ(after.bytes, "");
}

INSTANTIATE_TEST_SUITE_P(Serial, OverlongReply, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "Paced" : "InOnePiece");
                         });

}  // namespace
}  // namespace serialtest
