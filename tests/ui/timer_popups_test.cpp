// The timer control and the popups: ticks come at the set interval, never
// while a popup is open or another callback runs; popups answer through the
// test seam or as real dialogs.
#include "app/panel_ids.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "test_ui.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace ui_test;
namespace t = rte::testing;

namespace {

class TimerAndPopups : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset();
        t::clearPopups();
    }
    void TearDown() override
    {
        SetCtrlAttribute(mainPanel, kMainTimer, kAttrInterval, 1.0);
        reset();
        t::clearPopups();
    }
};

// Runs `act` once the modal widget of type W is up, from inside its own
// event loop, after the event loop went round `rounds` times with it open.
template <typename W>
void whenModalUp(std::function<void(W *)> act, int rounds = 0)
{
    auto *poll = new QTimer;
    auto seen = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, seen, act, rounds] {
        auto *w = qobject_cast<W *>(QApplication::activeModalWidget());
        if (!w || (*seen)++ < rounds)
            return;
        poll->stop();
        poll->deleteLater();
        act(w);
    });
    poll->start(10);
}

// Tick times taken with the clock: their mean spacing is the interval, with
// room for a loaded machine but none for an interval of another order.
TEST_F(TimerAndPopups, TicksComeAtTheSetInterval)
{
    using Clock = std::chrono::steady_clock;
    const double interval = 0.2;
    ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainTimer, kAttrInterval, interval), 0);
    EXPECT_DOUBLE_EQ(t::timerInterval(mainPanel, kMainTimer), interval);
    std::vector<Clock::time_point> ticks;
    onCall = [&ticks](const Call &c) {
        if (c.name == "timer2" && c.event == kEventTick && c.control == kMainTimer && c.handle == mainPanel)
            ticks.push_back(Clock::now());
    };
    // The first tick may have been due before the interval changed.
    const bool ticked = t::waitUntil([&ticks] { return ticks.size() >= 7; }, 30);
    onCall = nullptr;
    ASSERT_TRUE(ticked);
    const double mean = std::chrono::duration<double>(ticks.back() - ticks[1]).count() / 5;
    EXPECT_GT(mean, 0.8 * interval);
    EXPECT_LT(mean, 3 * interval);
}

TEST_F(TimerAndPopups, IntervalThatIsNotPositiveIsRefused)
{
    SetCtrlAttribute(mainPanel, kMainTimer, kAttrInterval, 0.5);
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainTimer, kAttrInterval, bad), kUiBadArgument) << bad;
        EXPECT_DOUBLE_EQ(t::timerInterval(mainPanel, kMainTimer), 0.5);
    }
    EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainTimer, kAttrInterval, 0), kUiBadArgument);
}

// The popup stays open while the event loop goes round 30 times, far
// longer than the tick interval; no tick may come in that time.
TEST_F(TimerAndPopups, NoTickWhileAPopupIsOpenInOrOutsideACallback)
{
    for (bool insideCallback : {false, true}) {
        SCOPED_TRACE(insideCallback);
        reset();
        SetCtrlAttribute(mainPanel, kMainTimer, kAttrInterval, 0.005);
        ASSERT_TRUE(t::waitUntil([] { return count("timer2", kEventTick) >= 1; }, 10));
        int ticksWhileOpen = -1;
        whenModalUp<QMessageBox>([&](QMessageBox *) {
            const int before = count("timer2", kEventTick);
            whenModalUp<QMessageBox>(
                [&, before](QMessageBox *box) {
                    ticksWhileOpen = count("timer2", kEventTick) - before;
                    box->accept();
                },
                30);
        });
        if (insideCallback) {
            onCall = [](const Call &c) {
                if (c.name == "m_run")
                    MessagePopup("Busy", "A callback with a popup");
            };
            t::operate(mainPanel, kMainStart);
        } else {
            MessagePopup("Busy", "A popup outside any callback");
        }
        EXPECT_EQ(ticksWhileOpen, 0);
        const int after = count("timer2", kEventTick);
        EXPECT_TRUE(t::waitUntil([after] { return count("timer2", kEventTick) > after; }, 10));
    }
}

TEST_F(TimerAndPopups, CommitDuringACallbackRunsAfterIt)
{
    onCall = [](const Call &c) {
        if (c.name != "m_run")
            return;
        whenModalUp<QMessageBox>([](QMessageBox *box) {
            t::operate(mainPanel, kMainStop);  // the stop button, while m_run still runs
            box->accept();
        });
        MessagePopup("Start", "Running");
        calls().push_back({"m_run returns", 0, 0, 0, 0, {}});
    };
    t::operate(mainPanel, kMainStart);
    ASSERT_TRUE(t::waitUntil([] { return count("m_stop", kEventCommit) == 1; }, 10));
    const std::vector<Call> got = withoutTicks();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].name, "m_run returns");
    EXPECT_EQ(got[2].name, "m_stop");
}

TEST_F(TimerAndPopups, ScriptedAnswersStandInForTheOperator)
{
    t::queueConfirm(0);
    t::queueConfirm(1);
    t::queueMessageAck();
    t::queueFileSelect(kSelectionNew, "/tmp/new run.dat");
    EXPECT_EQ(ConfirmPopup("File already exists !", "Do you want to overwrite it ?"), 0);
    EXPECT_EQ(ConfirmPopup("Again", "Sure ?"), 1);
    EXPECT_EQ(MessagePopup("Note", "COM port cannot be opened !"), 0);
    char path[260];
    EXPECT_EQ(FileSelectPopup("", "*.dat", "*.dat;*.*;", "Filename", kLabelOk, 0, 0, 1, 0, path), kSelectionNew);
    EXPECT_STREQ(path, "/tmp/new run.dat");
    EXPECT_EQ(t::pendingAnswers(), 0);
    const std::vector<std::string> expected = {"File already exists !|Do you want to overwrite it ?", "Again|Sure ?",
                                               "Note|COM port cannot be opened !", "file|Filename"};
    EXPECT_EQ(t::popupLog(), expected);
}

TEST_F(TimerAndPopups, PathLongerThanTheTargetIsRefusedAndTheDialogStays)
{
    const std::string fits = "/tmp/" + std::string(250, 'a') + ".dat";  // 259 bytes
    const std::string tooLong = fits + "x";
    t::queueFileSelect(kSelectionExisting, tooLong);
    t::queueMessageAck();
    t::queueFileSelect(kSelectionExisting, fits);
    char path[260];
    EXPECT_EQ(FileSelectPopup("", "*.dat", "*.dat", "", kLabelLoad, 0, 1, 1, 0, path), kSelectionExisting);
    EXPECT_EQ(std::string(path), fits);
    ASSERT_EQ(t::popupLog().size(), 3u);
    EXPECT_EQ(t::popupLog()[1].rfind("File name too long|The path takes 260 bytes; at most 259 fit.", 0), 0u)
        << t::popupLog()[1];
    EXPECT_EQ(t::popupLog()[2], t::popupLog()[0]);
}

TEST_F(TimerAndPopups, CancelledDialogGivesZeroAndAnEmptyPath)
{
    t::queueFileSelect(kSelectionCancelled, "");
    char path[260] = "old";
    EXPECT_EQ(FileSelectPopup("", "*.dat", "*.dat", "", kLabelLoad, 0, 1, 1, 0, path), kSelectionCancelled);
    EXPECT_STREQ(path, "");
}

TEST_F(TimerAndPopups, WrongKindOfScriptedAnswerStopsTheTestLoudly)
{
    EXPECT_DEATH(
        {
            t::queueMessageAck();
            ConfirmPopup("Question", "Yes or no ?");
        },
        "wants a yes/no answer");
}

TEST_F(TimerAndPopups, RealFileDialogTellsExistingFromNewNames)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath("run.dat");
    QFile(existing).open(QIODevice::WriteOnly);
    struct Case {
        QString chosen;
        int result;
    } cases[] = {{existing, kSelectionExisting}, {dir.filePath("fresh.dat"), kSelectionNew},
                 {dir.filePath("Prüfung Ω 測定.dat"), kSelectionNew}};
    for (const Case &c : cases) {
        whenModalUp<QFileDialog>([&c](QFileDialog *d) {
            EXPECT_TRUE(d->testOption(QFileDialog::DontConfirmOverwrite));
            EXPECT_EQ(d->labelText(QFileDialog::Accept), "Load");
            EXPECT_EQ(d->windowTitle(), "Pick a run");
            EXPECT_TRUE(d->nameFilters().contains("*.dat"));
            // The operator types the name and presses the accept button.
            auto *name = d->findChild<QLineEdit *>("fileNameEdit");
            if (!name) {
                ADD_FAILURE() << "no file name field";
                d->reject();
                return;
            }
            name->setText(QFileInfo(c.chosen).fileName());
            static_cast<QDialog *>(d)->accept();
        });
        char path[260];
        const QByteArray dirBytes = QFile::encodeName(dir.path());
        EXPECT_EQ(FileSelectPopup(dirBytes.constData(), "*.dat", "*.dat;*.*;", "Pick a run", kLabelLoad, 0, 0, 1, 0, path),
                  c.result);
        EXPECT_EQ(QString::fromUtf8(path), QDir::toNativeSeparators(c.chosen));
    }
}

// The limit counts the bytes of the path as the system stores it: a name
// of few characters but many bytes is refused, and the dialog stays.
TEST_F(TimerAndPopups, RealFileDialogCountsThePathInBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString tooLong = dir.filePath(QString(130, QChar(0x3A9)) + ".dat");  // Ω: 2 bytes each
    const QString fits = dir.filePath("Ω.dat");
    ASSERT_LT(tooLong.size(), 259);
    QString told;
    const auto type = [](QFileDialog *d, const QString &path) {
        d->findChild<QLineEdit *>("fileNameEdit")->setText(path);
        static_cast<QDialog *>(d)->accept();
    };
    whenModalUp<QFileDialog>([&](QFileDialog *d) {
        whenModalUp<QMessageBox>([&](QMessageBox *box) {
            told = box->text();
            whenModalUp<QFileDialog>([&](QFileDialog *again) { type(again, fits); });
            box->accept();
        });
        type(d, tooLong);
    });
    char path[260];
    EXPECT_EQ(FileSelectPopup("", "*.dat", "*.dat", "", kLabelSave, 0, 0, 1, 0, path), kSelectionNew);
    EXPECT_EQ(QString::fromUtf8(path), fits);
    EXPECT_TRUE(told.contains(QStringLiteral("bytes"))) << told.toStdString();
}

}  // namespace
