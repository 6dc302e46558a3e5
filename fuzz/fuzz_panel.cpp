// Any bytes as a panel file: read as the program reads its own at start-up,
// it is either taken or refused with a fault to report, never more; what is
// taken builds into panels with their widgets.
#include "fuzz_check.h"

#include <cstdint>

#include "rte/ui/engine.h"
#include "rte/ui/panel.h"
#include "rte/ui/panel_file.h"

#include <QtGlobal>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without callbacks of the program's or a serial service: every named
    // callback is left unbound and the port list stays empty.
    rte::ui::Engine::start(*argc, *argv, {}, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString fault;
    const auto panels = rte::ui::parsePanelFile(
        json, [](const QString &, rte::ui::CallbackShape) { return true; }, fault);
    FUZZ_CHECK(panels.has_value() || !fault.isEmpty());
    if (panels)
        for (const rte::ui::PanelSpec &desc : *panels)
            rte::ui::Panel panel(1, 1, desc);
    return 0;
}
