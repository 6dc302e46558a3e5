// Which points of which drawn curve each plot handle stands for.
//
// The program adds a plot per measurement cycle, each one the previous plus
// a point or the previous shifted by a point, so the references come as
// arithmetic progressions: handle h, h+1, ... on one curve, with starts and
// lengths that step by a constant.  They are kept as such runs, which keeps
// the memory small however many plots pile up.
#pragma once

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace rte::ui {

struct PlotRef {
    int curve = 0;   // 0: an empty plot, drawn nowhere
    int start = 0;   // first point on the curve
    int length = 0;  // number of points
    bool operator==(const PlotRef &) const = default;
};

class PlotRefs {
public:
    // `handle` must not be present yet.
    void insert(int handle, PlotRef ref);
    std::optional<PlotRef> find(int handle) const;
    bool erase(int handle);
    void clear();
    int size() const { return size_; }
    // Every handle on the curve with its reference, in ascending order.
    std::vector<std::pair<int, PlotRef>> onCurve(int curve) const;
    void eraseCurve(int curve);
    // Runs held; for tests of the bound on memory.
    int runCount() const { return static_cast<int>(runs_.size()); }

private:
    struct Run {
        int count = 1;
        PlotRef first;
        int startStep = 0, lengthStep = 0;
        PlotRef at(int i) const { return {first.curve, first.start + i * startStep, first.length + i * lengthStep}; }
    };
    std::map<int, Run>::const_iterator holding(int handle) const;

    std::map<int, Run> runs_;  // by the first handle of each run
    int size_ = 0;
};

}  // namespace rte::ui
