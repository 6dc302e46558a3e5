// A settings panel as one table: each control beside the field of a record
// that it shows.  The same table is walked one way to show the record and
// the other way to read what the operator typed, so the two cannot drift
// apart.
#pragma once

#include <cstddef>
#include <cstring>
#include <span>

#include "rte/userint.h"

struct PanelField {
    int control;
    void *field;
    void (*show)(int panel, int control, const void *field);
    // False when the text typed is longer than the field holds: the field
    // then keeps what it had.
    bool (*read)(int panel, int control, void *field);
    const char *name;  // of a text, for the operator: what did not fit
    int room;          // the bytes a text holds
};

inline PanelField panel_field(int control, int &field)
{
    return {control, &field,
            [](int panel, int c, const void *f) { SetCtrlVal(panel, c, *static_cast<const int *>(f)); },
            [](int panel, int c, void *f) { return GetCtrlVal(panel, c, *static_cast<int *>(f)) == 0; },
            nullptr, 0};
}

inline PanelField panel_field(int control, double &field)
{
    return {control, &field,
            [](int panel, int c, const void *f) { SetCtrlVal(panel, c, *static_cast<const double *>(f)); },
            [](int panel, int c, void *f) { return GetCtrlVal(panel, c, *static_cast<double *>(f)) == 0; },
            nullptr, 0};
}

template <std::size_t N>
PanelField panel_field(int control, char (&field)[N], const char *name)
{
    return {control, field,
            [](int panel, int c, const void *f) { SetCtrlVal(panel, c, static_cast<const char *>(f)); },
            [](int panel, int c, void *f) {
                // Room for a whole character more than the field holds
                // tells a text that fits from one that does not.
                char typed[N + 4];
                if (GetCtrlVal(panel, c, typed) != 0 || std::strlen(typed) >= N)
                    return false;
                std::memcpy(f, typed, N);
                return true;
            },
            name, static_cast<int>(N - 1)};
}

inline void show_fields(int panel, std::span<const PanelField> fields)
{
    for (const PanelField &f : fields)
        f.show(panel, f.control, f.field);
}

// Reads every field; the first one that could not be read whole (an
// element of `fields`), or nullptr.
inline const PanelField *read_fields(int panel, std::span<const PanelField> fields)
{
    const PanelField *failed = nullptr;
    for (const PanelField &f : fields)
        if (!f.read(panel, f.control, f.field) && failed == nullptr)
            failed = &f;
    return failed;
}
