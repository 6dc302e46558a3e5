// Calls of the format language as the compiler sees them: the checks in
// tests/format/CMakeLists.txt compile this file once for each CHECK_ name,
// expecting the "accepted" calls to compile and every other snippet to be
// refused with an error that names its fault.
#include "rte/formatio.h"

int calls(int handle, const char *made)
{
    char text[32];
    char small[4];
    char word[16];
    char one[1];
    int i = 0;
    double d = 0;
    int n = 0;
#if defined(CHECK_accepted)
    n += Fmt(text, "%d %c %f[p2w10] %s %%", i, 'c', d, "text");
    n += Fmt(small, "%d", i);
    n += Fmt(text, RuntimeFormat(made), d, i);
    n += FmtFile(handle, " %f[p1]\t%f[e2] %f[r] %f[w12r]\n", d, d, d, d);
    n += FmtFile(handle, RuntimeFormat(made));
    n += Scan(made, "%s>%d%f%c %s", i, d, i, word);
    n += ScanFile(handle, "%f %f", d, d);
    n += ScanFile(handle, RuntimeFormat(made), one);
#elif defined(CHECK_fmt_int_for_double)
    n += Fmt(text, "value %d", d);
#elif defined(CHECK_fmt_double_for_int)
    n += Fmt(text, "%f[p1]", i);
#elif defined(CHECK_fmt_text_for_number)
    n += Fmt(text, "%s", d);
#elif defined(CHECK_fmt_one_argument_too_few)
    n += Fmt(text, "%d %d", i);
#elif defined(CHECK_fmt_one_argument_too_many)
    n += Fmt(text, "%d", i, i);
#elif defined(CHECK_fmt_never_fits)
    n += Fmt(small, "%f[w4]", d);
#elif defined(CHECK_fmt_unknown_conversion)
    n += Fmt(text, "%x", i);
#elif defined(CHECK_fmt_precision_out_of_range)
    n += Fmt(text, "%f[p100]", d);
#elif defined(CHECK_fmt_shortest_with_precision)
    n += Fmt(text, "%f[rp3]", d);
#elif defined(CHECK_fmt_made_at_run_time)
    n += Fmt(text, made, d);
#elif defined(CHECK_fmtfile_int_for_double)
    n += FmtFile(handle, " %f[p1]\t%f[e2] \n", d, i);
#elif defined(CHECK_scan_int_for_double)
    n += Scan(made, "%f", i);
#elif defined(CHECK_scan_one_target_too_few)
    n += Scan(made, "%d %d", i);
#elif defined(CHECK_scan_word_into_one_byte)
    n += Scan(made, "%s", one);
#elif defined(CHECK_scanfile_double_for_int)
    n += ScanFile(handle, "%s>%d%f", d, d);
#elif defined(CHECK_scanfile_one_target_too_many)
    n += ScanFile(handle, "%f", d, d);
#endif
    return n + text[0] + small[0] + word[0] + one[0];
}
