// Private to the engine and its testing library: what may stand in for the
// operator at the popups.
#pragma once

#include <optional>
#include <string>

namespace rte::ui {

enum class PopupKind { Message, Confirm, File };

struct Answer {
    PopupKind kind;
    int value = 0;
    std::string path;
};

// Sees every popup as it opens, as "title|message" (file dialogs:
// "file|title"), and may answer it in place of the operator.
using PopupScript = std::optional<Answer> (*)(PopupKind kind, const std::string &entry);
// nullptr, as at start: the operator answers every popup.
void setPopupScript(PopupScript script);

}  // namespace rte::ui
