// A device that goes away while the port is open (the simulator hangs up, as
// when an adapter is pulled) and comes back on the same path.
#include "rte/rs232.h"
#include "tests/serial/serial_fixture.h"
#include "tests/support/port_holder.h"
#include "tools/sleep_until.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <sys/resource.h>
#include <thread>

namespace serialtest {
namespace {

using namespace std::chrono_literals;

double processorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Exchanges once per interval with the event loop running in between, as
// the program's timer does, until done says so or limit exchanges passed.
// Returns the number of exchanges made.
int exchangeEveryInterval(int port, const std::function<bool(const Reply &)> &done, int limit)
{
    int made = 0;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(100ms);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++made;
        if (done(exchange(port, "M2")) || made == limit)
            loop.quit();
    });
    tick.start();
    loop.exec();
    return made;
}

// Runs the event loop for a while with nothing else to do, as the program
// between runs; returns the share of one processor the process took.
double processorShareOfIdling(std::chrono::milliseconds span)
{
    const auto wallStart = std::chrono::steady_clock::now();
    const double processorStart = processorSeconds();
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return (processorSeconds() - processorStart) / wall;
}

class LostDevice : public SimulatorTest {
protected:
    void SetUp() override
    {
        SimulatorTest::SetUp();
        ASSERT_EQ(exchange(kPort, "M2").status, kRs232NoError);
    }
};

TEST_F(LostDevice, FailsEachExchangeCheaplyAndComesBackByItself)
{
    sim_->hangUp();
    bool allFailed = true;
    bool lostSeen = false;
    const auto wallStart = std::chrono::steady_clock::now();
    const double processorStart = processorSeconds();
    exchangeEveryInterval(
        kPort,
        [&](const Reply &reply) {
            allFailed = allFailed && reply.status != kRs232NoError && reply.bytes.empty();
            lostSeen = lostSeen || reply.status == kRs232DeviceLost;
            return false;
        },
        30);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double share = (processorSeconds() - processorStart) / wall;
    EXPECT_TRUE(allFailed);
    EXPECT_TRUE(lostSeen);
    // A resource bound, not a timing one: a service that spins on the dead
    // device takes a whole processor.
    RecordProperty("processor_share_while_gone", std::to_string(share));
    EXPECT_LT(share, 0.3) << "processor share while the device was gone";

    sim_->bringBack();
    bool readAgain = false;
    exchangeEveryInterval(
        kPort,
        [&](const Reply &reply) {
            readAgain = reply.status == kRs232NoError && reply.bytes.starts_with("M2 ");
            return readAgain;
        },
        100);
    EXPECT_TRUE(readAgain) << "no exchange read again within 10 s of the device's return";
}

TEST_F(LostDevice, WhileIdleCostsNothingAndIsTakenBackByItself)
{
    sim_->hangUp();
    const double share = processorShareOfIdling(2s);
    RecordProperty("processor_share_while_gone", std::to_string(share));
    EXPECT_LT(share, 0.3) << "processor share while the device was gone";

    sim_->bringBack();
    // Once the service has the device again, another program cannot have it.
    const std::string link = sim_->linkPath();
    const bool takenBack = support::sleepUntil([&] {
        processorShareOfIdling(100ms);
        return support::PortHolder(link).openStatus() == kRs232PortBusy;
    });
    EXPECT_TRUE(takenBack);
    EXPECT_EQ(exchange(kPort, "M2").status, kRs232NoError);
}

TEST_F(LostDevice, ThatIsBackByTheNextExchangeIsReadAgainAtOnce)
{
    // No event is processed in between, so the service learns of the loss
    // only from the exchange itself.
    sim_->hangUp();
    sim_->bringBack();
    const Reply reply = exchange(kPort, "M2");
    EXPECT_EQ(reply.status, kRs232NoError);
    EXPECT_TRUE(reply.bytes.starts_with("M2 ")) << reply.bytes;
}

TEST_F(LostDevice, EndsAReadThatWasWaitingForIt)
{
    sim_->setMode("silent");
    ASSERT_EQ(SetComTime(kPort, 30.0), kRs232NoError);
    const long asked = sim_->status().queries + 1;
    std::thread pull([&] {
        sim_->waitForFinished(asked);
        sim_->hangUp();
    });
    const Reply reply = exchange(kPort, "M2");
    pull.join();
    EXPECT_EQ(reply.status, kRs232DeviceLost);
    EXPECT_EQ(reply.bytes, "");

    sim_->bringBack();
    EXPECT_EQ(exchange(kPort, "M2").status, kRs232NoError);
}

}  // namespace
}  // namespace serialtest
