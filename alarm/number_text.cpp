#include "alarm/number_text.h"

#include <cmath>

#include "rte/formatio.h"

void number_text(double value, char (&text)[32])
{
    const double size = std::fabs(value);
    if (size != 0 && (size < 1e-3 || size >= 1e9)) {
        Fmt(text, "%f[p3e2]", value);
        return;
    }
    Fmt(text, "%f[p6]", value);
    int end = 0;
    while (text[end] != '\0')
        ++end;
    while (end > 0 && text[end - 1] == '0')
        text[--end] = '\0';
    if (end > 0 && text[end - 1] == '.')
        text[--end] = '\0';
}
