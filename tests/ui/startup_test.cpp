// Start-up faults and the end of the program, each in a process of its own.
#include "app/panel_ids.h"
#include "rte/utility.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status;
    QString out, err;
};

Outcome probe(const QStringList &args)
{
    char dir[4096];
    GetProjectDir(dir);
    QProcess p;
    p.start(QString::fromLocal8Bit(dir) + "/ui_probe", args);
    const bool ended = p.waitForFinished(60000);
    if (!ended) {
        p.kill();
        p.waitForFinished(-1);
    }
    EXPECT_TRUE(ended) << "ui_probe " << args.join(' ').toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

TEST(StartUp, RealPanelFileLoadsByItsBareName)
{
    for (int resource : {kPortPanel, kInfoPanel, kMainPanel}) {
        const Outcome o = probe({"load", kPanelFile, QString::number(resource)});
        EXPECT_EQ(o.status, 0) << o.err.toStdString();
        EXPECT_EQ(o.out.trimmed(), "loaded");
    }
}

TEST(StartUp, FaultyPanelFileEndsTheProgramWithStatusThreeAndSaysWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray control = R"({"number": 2, "kind": "button", "caption": "Go", "cell": [0, 0], "callback": "%1"})";
    const auto panelFile = [&](const QByteArray &controls) {
        return QByteArray(R"({"format": "vandrel-panels", "version": 1, "panels": [
            {"resource": 3, "title": "T", "size": [100, 100], "controls": [)") + controls + "]}]}";
    };
    struct Case {
        const char *name;
        QByteArray content;  // empty: no file at all
        const char *resource;
        const char *fault;
    } cases[] = {
        {"missing.uir", {}, "3", "cannot be read"},
        {"broken.uir", "{\"format\": \"vandrel-panels\", ", "3", "not a valid JSON text"},
        {"list.uir", "[1, 2]", "3", "not a JSON object"},
        {"untitled.uir", R"({"format": "vandrel-panels", "version": 1, "panels": [{"resource": 3}]})", "3",
         "\"title\" is missing"},
        {"unknown.uir", panelFile(QByteArray(control).replace("%1", "no_such_routine")), "3",
         "no control callback \"no_such_routine\""},
        {"shape.uir", panelFile(QByteArray(control).replace("%1", "endSC")), "3", "no control callback \"endSC\""},
        {"kind.uir", panelFile(R"({"number": 2, "kind": "knob", "caption": "K", "cell": [0, 0]})"), "3",
         "kind \"knob\" is not known"},
        {"resource.uir", panelFile(""), "9", "no panel with resource number 9"},
        // Numbers that the panel's widgets hold as ints.
        {"int_range.uir",
         panelFile(R"({"number": 2, "kind": "entry", "type": "int", "caption": "N", "cell": [0, 0],
                      "range": [0, 1e300]})"),
         "3", "\"range\" must hold whole numbers"},
        {"item.uir",
         panelFile(R"({"number": 2, "kind": "selector", "caption": "Q", "cell": [0, 0],
                      "items": [["a", 1], ["b", 1e300]]})"),
         "3", "must be [caption, whole number]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        if (!c.content.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        const Outcome o = probe({"load", path, c.resource});
        EXPECT_EQ(o.status, 3) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(QDir::toNativeSeparators(path))) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(c.fault)) << o.err.toStdString();
        EXPECT_TRUE(o.out.isEmpty());
    }
}

TEST(StartUp, ExitProgramEndsTheEventLoopAndTheProcessWithTheStatus)
{
    for (const char *status : {"0", "7"}) {
        const Outcome o = probe({"exit", status});
        EXPECT_EQ(o.status, QString(status).toInt()) << o.err.toStdString();
        // A sanitizer's report on the way out changes the status too; say why.
        EXPECT_FALSE(o.err.contains("Sanitizer") || o.err.contains("runtime error")) << o.err.toStdString();
    }
}

}  // namespace
