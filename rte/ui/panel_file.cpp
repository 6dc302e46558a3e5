#include "rte/ui/panel_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <set>
#include <utility>

namespace rte::ui {
namespace {

// Thrown inside the reader only, caught by parsePanelFile.
struct Fault {
    QString text;
};

// Whole numbers of the panel file fit an int with room to spare.
bool isWhole(double d) { return d == std::trunc(d) && std::abs(d) <= 1e9; }

// A JSON object with the place it came from, for messages that point at
// the offending entry.
class Node {
public:
    Node(QJsonObject object, QString where) : object_(std::move(object)), where_(std::move(where)) {}

    const QString &where() const { return where_; }
    [[noreturn]] void fail(const QString &what) const { throw Fault{where_ + ": " + what}; }

    bool has(const char *key) const { return object_.contains(QLatin1String(key)); }

    QJsonValue need(const char *key) const
    {
        if (!has(key))
            fail(QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
        return object_.value(QLatin1String(key));
    }

    double number(const char *key) const
    {
        const QJsonValue v = need(key);
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            fail(QStringLiteral("\"%1\" must be a number").arg(QLatin1String(key)));
        return v.toDouble();
    }
    double number(const char *key, double fallback) const { return has(key) ? number(key) : fallback; }

    int integer(const char *key) const
    {
        const double d = number(key);
        if (!isWhole(d))
            fail(QStringLiteral("\"%1\" must be a whole number").arg(QLatin1String(key)));
        return static_cast<int>(d);
    }
    int integer(const char *key, int fallback) const { return has(key) ? integer(key) : fallback; }

    QString text(const char *key) const
    {
        const QJsonValue v = need(key);
        if (!v.isString())
            fail(QStringLiteral("\"%1\" must be a text").arg(QLatin1String(key)));
        return v.toString();
    }
    QString text(const char *key, const QString &fallback) const { return has(key) ? text(key) : fallback; }

    bool flag(const char *key, bool fallback) const
    {
        if (!has(key))
            return fallback;
        const QJsonValue v = need(key);
        if (!v.isBool())
            fail(QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(key)));
        return v.toBool();
    }

    QJsonArray array(const char *key) const
    {
        const QJsonValue v = need(key);
        if (!v.isArray())
            fail(QStringLiteral("\"%1\" must be a list").arg(QLatin1String(key)));
        return v.toArray();
    }

    std::vector<double> numbers(const char *key, std::size_t minCount, std::size_t maxCount) const
    {
        std::vector<double> out;
        for (const QJsonValue v : array(key)) {
            if (!v.isDouble() || !std::isfinite(v.toDouble()))
                fail(QStringLiteral("\"%1\" must hold numbers").arg(QLatin1String(key)));
            out.push_back(v.toDouble());
        }
        if (out.size() < minCount || out.size() > maxCount)
            fail(QStringLiteral("\"%1\" must hold %2 to %3 numbers")
                     .arg(QLatin1String(key)).arg(minCount).arg(maxCount));
        return out;
    }

    // Sizes, stretches and grid cells: whole numbers that fit an int.
    std::vector<int> integers(const char *key, std::size_t minCount, std::size_t maxCount) const
    {
        std::vector<int> out;
        for (double d : numbers(key, minCount, maxCount)) {
            if (!isWhole(d))
                fail(QStringLiteral("\"%1\" must hold whole numbers").arg(QLatin1String(key)));
            out.push_back(static_cast<int>(d));
        }
        return out;
    }

    std::vector<Node> objects(const char *key, const QString &what) const
    {
        std::vector<Node> out;
        const QJsonArray list = array(key);
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString place = QStringLiteral("%1, %2 %3").arg(where_, what).arg(i + 1);
            if (!list[i].isObject())
                throw Fault{place + ": must be an object"};
            out.emplace_back(list[i].toObject(), place);
        }
        return out;
    }

private:
    QJsonObject object_;
    QString where_;
};

struct KindInfo {
    const char *name;
    Kind kind;
    ValueType type;  // None: taken from "type"
};

constexpr KindInfo kKinds[] = {
    {"button", Kind::Button, ValueType::None},      {"entry", Kind::Entry, ValueType::None},
    {"selector", Kind::Selector, ValueType::Int},   {"switch", Kind::Switch, ValueType::Int},
    {"indicator", Kind::Indicator, ValueType::Int}, {"display", Kind::Display, ValueType::Text},
    {"text", Kind::Text, ValueType::Text},          {"graph", Kind::Graph, ValueType::None},
    {"timer", Kind::Timer, ValueType::None},        {"portlist", Kind::PortList, ValueType::None},
};

// A place in the panel's grid: [row, column] or [row, column, rowSpan, columnSpan].
FormSpec cellOf(const Node &n)
{
    const std::vector<int> cell = n.integers("cell", 2, 4);
    FormSpec at{cell[0], cell[1], cell.size() > 2 ? cell[2] : 1, cell.size() > 3 ? cell[3] : 1};
    // A layout grid of a million rows would only exhaust memory.
    if (at.row < 0 || at.column < 0 || at.rowSpan < 1 || at.columnSpan < 1 || at.row + at.rowSpan > 1000 ||
        at.column + at.columnSpan > 1000)
        n.fail(QStringLiteral("\"cell\" must lie within 1000 rows and columns"));
    return at;
}

std::vector<double> wholeNumbers(const std::vector<int> &ints) { return {ints.begin(), ints.end()}; }

class Reader {
public:
    explicit Reader(const std::function<bool(const QString &, CallbackShape)> &hasCallback)
        : hasCallback_(hasCallback)
    {
    }

    std::vector<PanelSpec> read(const Node &root) const
    {
        if (root.text("format") != QLatin1String("vandrel-panels"))
            root.fail(QStringLiteral("\"format\" is not \"vandrel-panels\""));
        if (root.integer("version") != 1)
            root.fail(QStringLiteral("version %1 is not known").arg(root.integer("version")));
        std::vector<PanelSpec> panels;
        std::set<int> resources;
        for (const Node &n : root.objects("panels", QStringLiteral("panel"))) {
            panels.push_back(panel(n));
            if (!resources.insert(panels.back().resource).second)
                n.fail(QStringLiteral("resource %1 appears twice").arg(panels.back().resource));
        }
        return panels;
    }

private:
    QString callback(const Node &n, CallbackShape shape) const
    {
        const QString name = n.text("callback", QString());
        if (!name.isEmpty() && !hasCallback_(name, shape)) {
            static const char *const kShapes[] = {"control", "panel", "menu"};
            n.fail(QStringLiteral("the program has no %1 callback \"%2\"")
                       .arg(QLatin1String(kShapes[static_cast<int>(shape)]), name));
        }
        return name;
    }

    PanelSpec panel(const Node &n) const
    {
        PanelSpec p;
        p.resource = n.integer("resource");
        if (p.resource <= 0)
            n.fail(QStringLiteral("\"resource\" must be positive"));
        p.title = n.text("title");
        const std::vector<int> size = n.integers("size", 2, 2);
        p.width = size[0];
        p.height = size[1];
        p.callback = callback(n, CallbackShape::Panel);
        p.closeOnEscape = n.flag("closeOnEscape", false);
        for (const char *key : {"columnStretch", "rowStretch"}) {
            if (!n.has(key))
                continue;
            auto &out = key[0] == 'c' ? p.columnStretch : p.rowStretch;
            out = n.integers(key, 0, 100);
        }
        if (n.has("forms"))
            for (const Node &f : n.objects("forms", QStringLiteral("form")))
                p.forms.push_back(cellOf(f));
        if (n.has("menuBar")) {
            const QJsonValue bar = n.need("menuBar");
            if (!bar.isObject())
                n.fail(QStringLiteral("\"menuBar\" must be an object"));
            const Node barNode(bar.toObject(), n.where() + ", menu bar");
            std::set<int> ids;
            for (const Node &m : barNode.objects("menus", QStringLiteral("menu"))) {
                MenuSpec menu{m.text("caption"), {}};
                for (const Node &i : m.objects("items", QStringLiteral("item"))) {
                    MenuItemSpec item{i.integer("id"), i.text("caption"), callback(i, CallbackShape::Menu)};
                    if (item.id <= 0 || !ids.insert(item.id).second)
                        i.fail(QStringLiteral("\"id\" must be positive and unique in the menu bar"));
                    menu.items.push_back(item);
                }
                p.menus.push_back(menu);
            }
        }
        std::set<int> numbers;
        std::set<std::pair<int, int>> formRows;
        for (const Node &c : n.objects("controls", QStringLiteral("control"))) {
            p.controls.push_back(control(c));
            const ControlSpec &added = p.controls.back();
            if (added.form > static_cast<int>(p.forms.size()))
                c.fail(QStringLiteral("the panel has no form %1").arg(added.form));
            if (added.form > 0 && !formRows.insert({added.form, added.row}).second)
                c.fail(QStringLiteral("row %1 of form %2 is taken").arg(added.row).arg(added.form));
            if (!numbers.insert(p.controls.back().number).second)
                c.fail(QStringLiteral("control number %1 appears twice").arg(p.controls.back().number));
        }
        return p;
    }

    ControlSpec control(const Node &n) const
    {
        ControlSpec c;
        c.number = n.integer("number");
        if (c.number <= 0)
            n.fail(QStringLiteral("\"number\" must be positive"));
        const QString kind = n.text("kind");
        const KindInfo *info = nullptr;
        for (const KindInfo &k : kKinds)
            if (kind == QLatin1String(k.name))
                info = &k;
        if (!info)
            n.fail(QStringLiteral("kind \"%1\" is not known").arg(kind));
        c.kind = info->kind;
        c.type = info->type;
        c.caption = n.text("caption");
        if (n.has("form")) {
            const std::vector<int> place = n.integers("form", 2, 2);
            c.form = place[0];
            c.row = place[1];
            if (c.form < 1 || c.row < 0 || c.row >= 1000 || c.kind == Kind::Timer || n.has("cell"))
                n.fail(QStringLiteral("\"form\" must be [form, row] from 1 and 0, for a control without a \"cell\""));
        } else if (c.kind != Kind::Timer) {
            const FormSpec at = cellOf(n);
            c.row = at.row;
            c.column = at.column;
            c.rowSpan = at.rowSpan;
            c.columnSpan = at.columnSpan;
        }
        const QString at = n.text("caption_at", QStringLiteral("above"));
        if (at != QLatin1String("above") && at != QLatin1String("left"))
            n.fail(QStringLiteral("\"caption_at\" must be \"above\" or \"left\""));
        c.captionLeft = at == QLatin1String("left");
        if (c.kind == Kind::Entry) {
            const QString type = n.text("type");
            if (type == QLatin1String("int"))
                c.type = ValueType::Int;
            else if (type == QLatin1String("double"))
                c.type = ValueType::Double;
            else
                n.fail(QStringLiteral("type \"%1\" does not suit an entry").arg(type));
            // An int entry holds its range as ints.
            const std::vector<double> range = c.type == ValueType::Int ? wholeNumbers(n.integers("range", 2, 2))
                                                                       : n.numbers("range", 2, 2);
            c.min = range[0];
            c.max = range[1];
            if (c.min > c.max)
                n.fail(QStringLiteral("\"range\" runs backwards"));
        }
        if (c.kind == Kind::Selector) {
            for (const QJsonValue v : n.array("items")) {
                const QJsonArray pair = v.toArray();
                if (pair.size() != 2 || !pair[0].isString() || !pair[1].isDouble() || !isWhole(pair[1].toDouble()))
                    n.fail(QStringLiteral("each of \"items\" must be [caption, whole number]"));
                c.items.push_back({pair[0].toString(), static_cast<int>(pair[1].toDouble())});
            }
            if (c.items.empty())
                n.fail(QStringLiteral("a selector needs items"));
        }
        if (c.kind == Kind::Display) {
            c.columns = n.integer("columns", 0);
            if (c.columns < 0 || c.columns > 1000)
                n.fail(QStringLiteral("\"columns\" must lie between 0 and 1000"));
        }
        if (c.type == ValueType::Text)
            c.initialText = n.text("value", QString());
        else if (c.type != ValueType::None)
            c.initial = n.number("value", c.kind == Kind::Selector ? c.items.front().value : 0);
        if (c.kind == Kind::Entry && (c.initial < c.min || c.initial > c.max))
            n.fail(QStringLiteral("\"value\" lies outside \"range\""));
        c.callback = callback(n, CallbackShape::Control);
        if (n.has("font")) {
            const QJsonValue f = n.need("font");
            if (!f.isObject())
                n.fail(QStringLiteral("\"font\" must be an object"));
            const Node font(f.toObject(), n.where() + ", font");
            c.fontSize = font.number("size", 0);
            c.monospace = font.flag("monospace", false);
            c.bold = font.flag("bold", false);
        }
        c.tip = n.text("tip", QString());
        c.dimmed = n.flag("dimmed", false);
        c.hidden = n.flag("hidden", false);
        if (c.hidden && c.kind == Kind::Timer)
            n.fail(QStringLiteral("\"hidden\" is not for a timer"));
        c.utf8 = n.flag("utf8", false);
        if (c.utf8 && c.kind != Kind::Display && c.kind != Kind::Text)
            n.fail(QStringLiteral("\"utf8\" is for a display or a text"));
        c.editable = n.flag("editable", false);
        c.secret = n.flag("secret", false);
        if ((c.editable || c.secret) && c.kind != Kind::Display)
            n.fail(QStringLiteral("\"editable\" and \"secret\" are for a display"));
        if (n.has("colour")) {
            const QString colour = n.text("colour");
            bool ok = false;
            c.colour = colour.mid(1).toInt(&ok, 16);
            if (colour.size() != 7 || !colour.startsWith(QLatin1Char('#')) || !ok || c.kind != Kind::Button)
                n.fail(QStringLiteral("\"colour\" must be \"#RRGGBB\" on a button"));
        }
        if (c.kind == Kind::Timer) {
            c.interval = n.number("interval");
            if (c.interval <= 0)
                n.fail(QStringLiteral("\"interval\" must be positive"));
            c.enabled = n.flag("enabled", true);
        }
        if (c.kind == Kind::Graph) {
            for (auto [key, out] : {std::pair{"xRange", c.xRange}, std::pair{"yRange", c.yRange}}) {
                if (!n.has(key))
                    continue;
                const std::vector<double> r = n.numbers(key, 2, 2);
                out[0] = r[0];
                out[1] = r[1];
            }
            c.xLabel = n.text("xLabel", QString());
            c.yLabel = n.text("yLabel", QString());
        }
        return c;
    }

    const std::function<bool(const QString &, CallbackShape)> &hasCallback_;
};

}  // namespace

const char *kindName(Kind kind)
{
    for (const KindInfo &k : kKinds)
        if (k.kind == kind)
            return k.name;
    return "";
}

std::optional<std::vector<PanelSpec>> parsePanelFile(
    const QByteArray &json,
    const std::function<bool(const QString &, CallbackShape)> &hasCallback, QString &fault)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (doc.isNull()) {
        fault = QStringLiteral("not a valid JSON text at byte %1: %2")
                    .arg(error.offset).arg(error.errorString());
        return std::nullopt;
    }
    if (!doc.isObject()) {
        fault = QStringLiteral("the text is not a JSON object");
        return std::nullopt;
    }
    try {
        return Reader(hasCallback).read(Node(doc.object(), QStringLiteral("file")));
    } catch (const Fault &f) {
        fault = f.text;
        return std::nullopt;
    }
}

}  // namespace rte::ui
