#include "rte/ui/plot_refs.h"

#include <iterator>

namespace rte::ui {

std::map<int, PlotRefs::Run>::const_iterator PlotRefs::holding(int handle) const
{
    auto it = runs_.upper_bound(handle);
    if (it == runs_.begin())
        return runs_.end();
    --it;
    return handle < it->first + it->second.count ? it : runs_.end();
}

void PlotRefs::insert(int handle, PlotRef ref)
{
    ++size_;
    auto next = runs_.upper_bound(handle);
    if (next != runs_.begin()) {
        Run &run = std::prev(next)->second;
        const int first = std::prev(next)->first;
        if (first + run.count == handle && run.first.curve == ref.curve) {
            if (run.count == 1) {
                run.startStep = ref.start - run.first.start;
                run.lengthStep = ref.length - run.first.length;
                run.count = 2;
                return;
            }
            if (run.at(run.count) == ref) {
                ++run.count;
                return;
            }
        }
    }
    runs_.emplace_hint(next, handle, Run{1, ref, 0, 0});
}

std::optional<PlotRef> PlotRefs::find(int handle) const
{
    const auto it = holding(handle);
    if (it == runs_.end())
        return std::nullopt;
    return it->second.at(handle - it->first);
}

bool PlotRefs::erase(int handle)
{
    const auto it = holding(handle);
    if (it == runs_.end())
        return false;
    --size_;
    const int first = it->first;
    const Run run = it->second;
    const int i = handle - first;
    runs_.erase(it);
    // What stays of the run: the handles before and after the erased one.
    if (i > 0)
        runs_.emplace(first, Run{i, run.first, run.startStep, run.lengthStep});
    if (i + 1 < run.count)
        runs_.emplace(handle + 1, Run{run.count - i - 1, run.at(i + 1), run.startStep, run.lengthStep});
    return true;
}

void PlotRefs::clear()
{
    runs_.clear();
    size_ = 0;
}

std::vector<std::pair<int, PlotRef>> PlotRefs::onCurve(int curve) const
{
    std::vector<std::pair<int, PlotRef>> out;
    for (const auto &[first, run] : runs_)
        if (run.first.curve == curve)
            for (int i = 0; i < run.count; ++i)
                out.emplace_back(first + i, run.at(i));
    return out;
}

void PlotRefs::eraseCurve(int curve)
{
    std::erase_if(runs_, [&](const auto &entry) {
        if (entry.second.first.curve != curve)
            return false;
        size_ -= entry.second.count;
        return true;
    });
}

}  // namespace rte::ui
