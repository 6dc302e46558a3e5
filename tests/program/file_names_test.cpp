// File names in any language, chosen in the real file dialog: the file that
// is recorded and drawn is the one the operator named, and the file display
// shows that name.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include "app/panel_ids.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "tests/program/program_fixture.h"

namespace program_test {
namespace {

// Stands in for the operator at the modal windows: types `path` into every
// file dialog and accepts it, and notes and closes any message, so that a
// fault shows as a failed expectation rather than a dialog nobody answers.
class Operator {
public:
    explicit Operator(const std::string &path)
    {
        QObject::connect(&poll_, &QTimer::timeout, [this, path] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (!name) {
                    messages.push_back("no file name field");
                    dialog->reject();
                    return;
                }
                name->setText(QString::fromStdString(path));
                static_cast<QDialog *>(dialog)->accept();
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                messages.push_back(box->text().toStdString());
                box->accept();
            }
        });
        poll_.start(10);
    }
    std::vector<std::string> messages;

private:
    QTimer poll_;
};

class FileNames : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        startProgram();
    }
};

TEST_F(FileNames, RecordedAndDrawnUnderTheNameChosenInTheDialog)
{
    ASSERT_EQ(::mkdir(dir.file("Messdaten Müller").c_str(), 0755), 0);
    for (const char *name : {"Messdaten Müller/Prüfung ä.dat", "Ω.dat", "Проба 測定 🧪.dat"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        {
            now = 0.0;
            Operator op(path);
            rte::testing::operate(state.main_panel, kMainStart);
            EXPECT_EQ(state.recording, 1);
            EXPECT_EQ(controlText(kMainFile), path);
            tickAt(1.0);
            rte::testing::operate(state.main_panel, kMainStop);
            EXPECT_EQ(op.messages, std::vector<std::string>{});
        }
        const std::vector<std::string> lines = readLines(path);
        ASSERT_EQ(lines.size(), 2u);

        Operator op(path);
        rte::testing::operate(state.main_panel, kMainOpenFile);
        EXPECT_EQ(op.messages, std::vector<std::string>{});
        EXPECT_EQ(controlText(kMainFile), path + "  [intact: 2 lines, sealed to the end of the run]");
        const auto points = lastPlotPoints();
        ASSERT_EQ(points.size(), 2u);
        EXPECT_EQ(points[1].first, 1.0);
    }
}

// The program's messages name the file as the operator chose it.
TEST_F(FileNames, AMessageShowsThePathAsChosen)
{
    const std::string path = dir.file("Kein Ordner ß/Ω.dat");
    Operator op(path);
    rte::testing::operate(state.main_panel, kMainStart);
    EXPECT_EQ(state.recording, 0);
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_NE(op.messages[0].find(path), std::string::npos) << op.messages[0];
}

}  // namespace
}  // namespace program_test
