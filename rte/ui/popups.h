// The popups for the engine's own use, with texts already in the toolkit's
// form (a path in them keeps every character).
#pragma once

#include <QString>

namespace rte::ui {

int messagePopup(const QString &title, const QString &body);
// 1 for yes, 0 for no.
int confirmPopup(const QString &title, const QString &body);

}  // namespace rte::ui
