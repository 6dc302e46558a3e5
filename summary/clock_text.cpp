#include "summary/clock_text.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "rte/formatio.h"

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar, and
// back (H. Hinnant's algorithms): no time zone library, no table.
static long long days_from_civil(long long y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

static void civil_from_days(long long z, long long &y, int &m, int &d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

double utc_seconds(const char *text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    char zone[4] = "";
    if (Scan(text, "%d-%d-%dT%d:%d:%f%s", y, mo, d, h, mi, s, zone) != 7 || zone[0] != 'Z' || zone[1] != '\0' ||
        mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || !(s >= 0 && s < 61))
        return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(days_from_civil(y, mo, d)) * 86400 + h * 3600 + mi * 60 + s;
}

bool offset_minutes(const char *text, int &minutes)
{
    minutes = 0;
    int sign = 0, h = 0, m = 0;
    if (Scan(text, "%c%d:%d", sign, h, m) != 3 || (sign != '+' && sign != '-') || h < 0 || h > 18 || m < 0 ||
        m > 59)
        return false;
    minutes = (sign == '-' ? -1 : 1) * (h * 60 + m);
    return true;
}

// Two digits, with the zero a clock shows.
static void two(int n, char *at)
{
    at[0] = static_cast<char>('0' + n / 10 % 10);
    at[1] = static_cast<char>('0' + n % 10);
}

void local_time_text(double utc, int offset, char (&text)[40])
{
    const double ms = std::floor((utc + offset * 60.0) * 1000 + 0.5);
    if (!std::isfinite(ms) || std::fabs(ms) > 1e17) {
        Fmt(text, "");
        return;
    }
    const long long whole = static_cast<long long>(ms);
    const long long days = (whole >= 0 ? whole : whole - 86399999) / 86400000;
    const long long in_day = whole - days * 86400000;
    long long y;
    int mo, d;
    civil_from_days(days, y, mo, d);
    if (y < 0 || y > 9999) {
        Fmt(text, "");
        return;
    }
    const int off = std::abs(offset);
    // "YYYY-MM-DDThh:mm:ss.mmm+hh:mm": the engine's %d pads with blanks.
    char t[] = "0000-00-00T00:00:00.000+00:00";
    two(static_cast<int>(y / 100 % 100), t);
    two(static_cast<int>(y % 100), t + 2);
    two(mo, t + 5);
    two(d, t + 8);
    two(static_cast<int>(in_day / 3600000), t + 11);
    two(static_cast<int>(in_day / 60000 % 60), t + 14);
    two(static_cast<int>(in_day / 1000 % 60), t + 17);
    t[20] = static_cast<char>('0' + in_day / 100 % 10);
    two(static_cast<int>(in_day % 100), t + 21);
    t[23] = offset < 0 ? '-' : '+';
    two(off / 60, t + 24);
    two(off % 60, t + 27);
    Fmt(text, "%s", t);
}
