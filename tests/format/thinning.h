// The stored-file view's thinning, for holding ScanFileSkip against the
// reads it stands for (skip_test and the fuzz target fuzz_skip): at most 999
// points, each the last of `step` reads of "%f %f", with the permission of a
// logarithmic axis cleared by a value that is not positive.  The reads
// before the last of each point are made one by one (exact) or passed over
// with ScanFileSkip.
#pragma once

#include "rte/formatio.h"

#include <cstring>
#include <ostream>
#include <vector>

namespace thinning {

// What a read left: its result and both targets, bit for bit.
struct Read {
    int result;
    double t, v;
    bool operator==(const Read &o) const
    {
        return result == o.result && std::memcmp(&t, &o.t, sizeof t) == 0 &&
               std::memcmp(&v, &o.v, sizeof v) == 0;
    }
};

inline std::ostream &operator<<(std::ostream &out, const Read &r)
{
    return out << "{" << r.result << ", " << r.t << ", " << r.v << "}";
}

struct View {
    std::vector<Read> points;
    int count = 0;
    int logAllowed = 1;
    bool operator==(const View &) const = default;
};

// The file open for reading on `handle`, thinned from where it stands.
inline View view(int handle, long long step, bool skip)
{
    View out;
    for (int i = 0; i < 999; i++) {
        Read r{0, -7.0, 1.0};
        if (skip) {
            ScanFileSkip(handle, step - 1, "%f %f", r.t, r.v);
            r.result = ScanFile(handle, "%f %f", r.t, r.v);
        } else {
            for (long long k = 0; k < step; k++)
                r.result = ScanFile(handle, "%f %f", r.t, r.v);
        }
        out.points.push_back(r);
        if (r.v <= 0)
            out.logAllowed = 0;
        if (r.result != 2)
            break;
        out.count = i + 1;
    }
    return out;
}

}  // namespace thinning
