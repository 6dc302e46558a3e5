// Any bytes as a panel file: read as the program reads its own at start-up,
// it is either taken or refused with a fault to report, never more.
#include "fuzz_check.h"

#include <cstdint>

#include "rte/ui_panel_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString fault;
    const auto panels = rte::ui::parsePanelFile(
        json, [](const QString &, rte::ui::CallbackShape) { return true; }, fault);
    FUZZ_CHECK(panels.has_value() || !fault.isEmpty());
    return 0;
}
