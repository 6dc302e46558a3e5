// The exchange with the analyser against the simulator on a real
// pseudo-terminal, in every way an analyser can answer or fail to.
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/panel_ids.h"
#include "app/state.h"
#include "link/exchange.h"
#include "link/reading_text.h"
#include "rte/testing/testing.h"
#include "tests/program/program_fixture.h"

namespace program_test {
namespace {

class Exchange : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram();
    }
    // The number the analyser sent is shown, right-aligned in ten places
    // after a blank, and then the unit.
    static void expectShowsTheReply(const char *unit)
    {
        const std::string shown = state.reading_text;
        ASSERT_EQ(shown.size(), 18u) << shown;
        EXPECT_EQ(shown.substr(11), unit);
        EXPECT_NE(shown[10], ' ') << shown;
        EXPECT_EQ(std::strtod(shown.c_str(), nullptr), std::strtod(state.reply + 2, nullptr))
            << shown << " for " << state.reply;
    }
};

TEST_F(Exchange, AnAnsweringReplyGivesItsValueInTheQuantitysForm)
{
    const struct {
        int mode;
        const char *query;
        const char *unit;
    } quantities[] = {{1, "M2\r", " ppm O2"},
                      {2, "A1\r", " mV    "},
                      {3, "A2\r", " \xB0" "C    "}};
    for (const auto &q : quantities) {
        SCOPED_TRACE(q.query);
        settings.mode = q.mode;
        abfragen();
        EXPECT_STREQ(state.command, q.query);
        EXPECT_EQ(state.reply[0], q.query[0]);
        EXPECT_EQ(state.reading, std::strtod(state.reply + 2, nullptr)) << state.reply;
        expectShowsTheReply(q.unit);
    }
}

TEST_F(Exchange, EveryKindOfFailedReply)
{
    struct Row {
        const char *simMode;
        const char *text;  // nullptr: the reply between stars
        bool readingKept;  // no number: the previous reading stands
        bool readingZero;
        int result;        // what the exchange says it gave
    };
    const Row rows[] = {
        {"silent", "NO CONNECTION", false, true, kExchangeNoConnection},
        {"wrong-letter", nullptr, false, true, kExchangeBadReply},
        {"slow", "NO CONNECTION", false, true, kExchangeNoConnection},
        {"no-cr", "NO CONNECTION", false, false, kExchangeNoConnection},
        {"letter-only", "       42.0 ppm O2", true, false, kExchangeNoNumber},
        {"nan", "        nan ppm O2", false, false, kExchangeNoNumber},
        {"normal", nullptr, false, false, kExchangeReading},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.simMode);
        sim->setMode(row.simMode);
        state.reading = 42.0;
        abfragen();
        EXPECT_EQ(exchange_result(), row.result);
        if (row.text) {
            EXPECT_STREQ(state.reading_text, row.text);
        } else if (row.result == kExchangeBadReply) {
            EXPECT_EQ(std::string(state.reply, 3), "X2 ");
            EXPECT_EQ(state.reading_text, "* " + std::string(state.reply) + "  *");
        }
        if (row.readingKept) {
            EXPECT_EQ(state.reading, 42.0);
        }
        if (row.readingZero) {
            EXPECT_EQ(state.reading, 0.0);
        }
        // A late reply must not run into the next row.
        sim->waitForFinished(sim->status().queries);
    }
    // Whatever came late or stayed queued is gone before the next query.
    sim->setMode("normal");
    abfragen();
    EXPECT_EQ(state.reply[0], 'M');
    expectShowsTheReply(" ppm O2");
}

TEST_F(Exchange, AReplyWithoutItsCarriageReturnKeepsTheNumberButSaysNoConnection)
{
    sim->setMode("no-cr");
    abfragen();
    EXPECT_EQ(state.reply[0], 'M');
    EXPECT_EQ(state.reading, std::strtod(state.reply + 2, nullptr));
    EXPECT_STREQ(state.reading_text, "NO CONNECTION");
}

TEST_F(Exchange, AnOverlongReplyUsesItsFirst24BytesAndTheRestIsDropped)
{
    sim->setMode("long");
    abfragen();
    EXPECT_EQ(std::strlen(state.reply), 24u);
    EXPECT_EQ(state.reply[24], '\0');
    EXPECT_STRNE(state.reading_text, "NO CONNECTION");
    sim->waitForFinished(sim->status().queries);  // the rest has arrived
    sim->setMode("normal");
    abfragen();
    EXPECT_EQ(state.reply[0], 'M');
    EXPECT_EQ(state.reading, std::strtod(state.reply + 2, nullptr));
}

TEST_F(Exchange, GarbageBytesStayWithinTheDisplay)
{
    sim->setMode("garbage");
    for (int i = 0; i < 5; i++) {
        abfragen();
        EXPECT_LE(std::strlen(state.reading_text), 31u);
    }
}

TEST_F(Exchange, OtherQuantitiesAskForOxygenAndShowAFixedText)
{
    for (int mode : {0, 4}) {
        settings.mode = mode;
        sim->setMode("normal");
        abfragen();
        EXPECT_STREQ(state.command, "M2\r");
        EXPECT_STREQ(state.reading_text, " 0.0    ");
        sim->setMode("wrong-letter");
        abfragen();
        EXPECT_EQ(state.reading_text[0], '*');
        sim->setMode("silent");
        abfragen();
        EXPECT_STREQ(state.reading_text, "NO CONNECTION");
    }
}

TEST_F(Exchange, ChoosingAQuantityShowsZeroInItsForm)
{
    rte::testing::selectItem(state.main_panel, kMainQuantity, 2);  // temperature
    EXPECT_EQ(settings.mode, 3);
    EXPECT_EQ(state.reading, 0.0);
    EXPECT_EQ(controlText(kMainReading), "        0.0 \xB0" "C    ");
    rte::testing::selectItem(state.main_panel, kMainQuantity, 0);
    EXPECT_EQ(controlText(kMainReading), " 0.0000e+00 ppm O2");
}

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

TEST_F(Exchange, AnUnpluggedAnalyserIsReachedAgainWhenItComesBack)
{
    sim->hangUp();
    // Exchanges go on while it is gone, as a run's would, with the event
    // loop running between them: each says so and none spins.
    const double cpu0 = processorSeconds(), wall0 = wallSeconds();
    for (int i = 0; i < 10; i++) {
        abfragen();
        EXPECT_STREQ(state.reading_text, "NO CONNECTION");
        EXPECT_EQ(state.reading, 0.0);
        rte::testing::waitUntil([] { return false; }, 0.2);
    }
    const double share = (processorSeconds() - cpu0) / (wallSeconds() - wall0);
    EXPECT_LT(share, 0.3) << "processor share while the analyser is gone";

    sim->bringBack();
    EXPECT_TRUE(rte::testing::waitUntil(
        [] {
            abfragen();
            return std::strcmp(state.reading_text, "NO CONNECTION") != 0;
        },
        20.0));
    EXPECT_EQ(state.reply[0], 'M');
    EXPECT_EQ(state.port_open, 1);
}

}  // namespace
}  // namespace program_test
